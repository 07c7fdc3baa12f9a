#include "text/PictureWords.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace bw {

std::string foldedWords(std::string_view text)
{
    std::string folded;
    folded.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte >= 0x80 || std::isalnum(byte))
            folded += static_cast<char>(byte >= 0x80 ? byte : std::tolower(byte));
        else if (!folded.empty() && folded.back() != ' ')
            folded += ' ';
    }
    if (!folded.empty() && folded.back() == ' ')
        folded.pop_back();
    return folded;
}

namespace {

std::vector<std::string_view> wordsOf(std::string_view folded)
{
    std::vector<std::string_view> words;
    for (size_t at = 0; at < folded.size();) {
        const size_t end = std::min(folded.find(' ', at), folded.size());
        words.push_back(folded.substr(at, end - at));
        at = end + 1;
    }
    return words;
}

} // namespace

bool altHoldsPictureText(std::string_view alt, std::string_view pictureText)
{
    const std::string altFolded = foldedWords(alt), pictureFolded = foldedWords(pictureText);
    const std::vector<std::string_view> said = wordsOf(altFolded);
    for (const std::string_view word : wordsOf(pictureFolded))
        if (std::find(said.begin(), said.end(), word) == said.end())
            return false;
    return true;
}

} // namespace bw
