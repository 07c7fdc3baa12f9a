#pragma once
// Message boxes, prompts and file dialogs, as the windows ask for them.
#include <optional>
#include <string>
#include <vector>

namespace bw {

enum class Buttons { Ok, OkCancel, YesNo };
enum class Answer { Ok, Cancel, Yes, No };

// The common file dialog. FileName and FileTitle persist from one use to the next:
// a cancelled dialog leaves them as they were.
struct FileDialog {
    static constexpr int HideReadOnly = 4;

    std::string FileName;  // full path chosen last
    std::string FileTitle; // that path's file name alone
    std::string Filter;    // "description|pattern|description|pattern..."
    int FilterIndex = 1;   // 1-based
    int Flags = 0;
};

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A question whose Yes destroys something takes No as its default (Return answers it).
    virtual Answer msgBox(const std::string& text, Buttons buttons, const std::string& title,
                          Answer defaultAnswer = Answer::Yes) = 0;
    // A question with buttons of its own captions: the index of the one chosen. Escape and the
    // close box choose `cancelChoice`.
    virtual int choose(const std::string& text, const std::string& title, const std::vector<std::string>& choices,
                       int defaultChoice, int cancelChoice) = 0;
    // A long text to read and copy from: read-only, selectable and scrollable, closed by the user.
    virtual void showText(const std::string& text, const std::string& title) = 0;
    // A question over a long list to read before answering: true for OK, the default; false for
    // Cancel, Escape and the close box.
    virtual bool confirmList(const std::string& text, const std::string& list, const std::string& title) = 0;
    // False when the user cancelled: the dialog's fields are then as they were.
    [[nodiscard]] virtual bool showOpen(FileDialog& dialog) = 0;
    [[nodiscard]] virtual bool showSave(FileDialog& dialog) = 0;
    // An open dialog that lets the user pick several files: their full paths, in the order
    // the dialog gives them; none when cancelled. FileName and FileTitle become the last one.
    virtual std::vector<std::string> showOpenMany(FileDialog& dialog) = 0;
    // A folder chooser opening at `start` (when it is a folder): the folder chosen, or nothing
    // when cancelled.
    virtual std::optional<std::string> chooseFolder(const std::string& title, const std::string& start) = 0;
    // A text prompt with OK and Cancel, opening with `initial`; nothing when cancelled. A masked
    // prompt shows no typed character.
    virtual std::optional<std::string> inputBox(const std::string& prompt, const std::string& title,
                                                const std::string& initial, bool masked = false) = 0;
};

} // namespace bw
