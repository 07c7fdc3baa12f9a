#pragma once
// The state of a window's controls as plain data. Views draw it; handlers change it.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace bw {

struct Label {
    std::string Caption;
    bool Visible = true;
};

struct Button {
    std::string Caption;
    bool Visible = true;
    bool Enabled = true;
};

struct CheckBox {
    std::string Caption;
    bool Value = false;
    bool Visible = true;
    bool Enabled = true;
};

struct MenuItem {
    std::string Caption;
    bool Enabled = true;
    bool Visible = true;
};

// The picture shown: a file on disk, bytes the page carries itself (a data: URL), or a
// note in its place (an image that lives on the web, an area of an image map).
struct PictureBox {
    std::string Picture; // path of the file
    std::string Data;    // the picture's bytes, when it is not a file
    std::string Note;    // said in the view when there is no picture to show
    bool Visible = true;
    void clear()
    {
        Picture.clear();
        Data.clear();
        Note.clear();
    }
    bool empty() const { return Picture.empty() && Data.empty() && Note.empty(); }
};

// A text box; Change runs whenever its text really changes, from code or from the user.
class TextBox {
public:
    std::function<void()> Change;
    bool Visible = true;
    bool Enabled = true;

    const std::string& Text() const { return text_; }
    void setText(std::string text)
    {
        if (text == text_)
            return;
        text_ = std::move(text);
        if (Change)
            Change();
    }
    // As setText, reusing the storage it has (for page-sized texts).
    void assign(std::string_view text)
    {
        if (text == text_)
            return;
        text_.assign(text);
        if (Change)
            Change();
    }
    bool empty() const { return text_.empty(); }

private:
    std::string text_;
};

// A list box. Setting its index from code runs Click at once, as a user's click does.
class ListBox {
public:
    std::function<void()> Click;

    void AddItem(std::string item) { items_.push_back(std::move(item)); }
    void Clear()
    {
        items_.clear();
        index_ = -1;
    }
    // Reading past either end gives the empty string.
    const std::string& List(long long i) const
    {
        static const std::string none;
        return (i >= 0 && static_cast<size_t>(i) < items_.size()) ? items_[static_cast<size_t>(i)] : none;
    }
    int ListCount() const { return static_cast<int>(items_.size()); }
    int ListIndex() const { return index_; }
    // Only -1 and existing rows can be selected; anything else is refused (returns false).
    bool setListIndex(int i)
    {
        if (i < -1 || i >= ListCount())
            return false;
        if (i != index_) {
            index_ = i;
            if (Click)
                Click();
        }
        return true;
    }
    const std::vector<std::string>& items() const { return items_; }

private:
    std::vector<std::string> items_;
    int index_ = -1;
};

struct ToolbarButton {
    std::string Key;   // empty for a separator
    std::string Image; // key into the toolbar's image store
    std::string ToolTipText;
    bool separator() const { return Key.empty(); }
};

} // namespace bw
