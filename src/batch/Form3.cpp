#include "batch/Form3.h"

namespace bw {

form3::form3(Platform platform, Form1& main) : platform_(platform), main_(main)
{
    Label1.Caption = "Files";
    Command1.Caption = "Add files";
    OKButton.Caption = "OK";
    CancelButton.Caption = "Cancel";
}

void form3::Command1_Click()
{
    CommonDialog1.Filter = "HTML";
    CommonDialog1.FileName = "*.html";
    for (const std::string& file : platform_.dialogs.showOpenMany(CommonDialog1)) {
        // The pattern itself is what an unused dialog reports.
        if (file.empty() || file == "*.html")
            continue;
        List1.AddItem(file);
        List2.AddItem(file.substr(file.find_last_of('/') + 1));
    }
}

void form3::OKButton_Click()
{
    // The window goes once the main window has the batch; its lists go with it.
    const std::vector<std::string> pages = List1.items();
    main_.startBatch(pages);
    if (Unload)
        Unload();
}

void form3::CancelButton_Click()
{
    if (Unload)
        Unload();
}

} // namespace bw
