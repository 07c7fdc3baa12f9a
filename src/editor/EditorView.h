#pragma once
// What the main window shows of the editor: captions, texts and the state of its controls.
// The session writes it; the window draws it and reports the user's input back as commands.
#include <string>
#include <vector>

#include "page/ImageContext.h"
#include "platform/Controls.h"

namespace bw {

struct EditorView {
    std::string title = "BRINDLEWORK";
    TextBox altBox;          // the ALT typed for the image shown
    TextBox searchNote;      // beside SUBMIT PAGE
    PictureBox picture;      // the image shown
    Label imageCounter{"Image of"};
    Label altCaption{"Alt text:"};
    Label version;
    Label imageName;         // the picture's name and size
    Button resetButton{"RESET"}, nextButton{"NEXT"}, keepButton{"&Save"}, backButton{"BACK"},
        submitButton{"SUBMIT PAGE"};

    // Help around the ALT box.
    CheckBox decorative{"Decorative (no ALT)", false, true, false}; // ALT="" and the box off
    CheckBox missingOnly{"Missing only"};   // the overview lists only images without an ALT
    Label hint;                             // what the ALT rules say of the box's text, each with its rule id
    Label length;                           // the box's length in characters, from 125 on
    Label offer;                            // "used on N other pages" or "text in the picture" while the box holds the ALT offered
    Button useEverywhereButton{"Use for every page", true, false};
    Label indexing;                         // the site index's progress; empty once it is done
    Label siteFolder;                       // "Site: FOLDER", the folder the site index reads
    ImageContext context;                   // where the image shown stands in its page
    Label uses;                             // "Used in N places on M pages": the picture's tags on the site, under any name

    MenuItem siteFolderItem{"Site &folder..."};
    MenuItem newItem{"New"}, openItem{"Open"}, saveItem{"Save"}, saveAsItem{"Save As"}, exitItem{"Exit"},
        preferencesItem{"Preferences"}, siteAddressItem{"URL"}, userNameItem{"User Name"},
        passwordItem{"Password"}, localBatchItem{"Local"}, ftpBatchItem{"FTP"}, supportItem{"Support"},
        aboutItem{"About"}, helpMenu{"&Help"};
    // Each on while there is a write to take back or to make again.
    MenuItem undoItem{"&Undo", false}, redoItem{"&Redo", false};
    std::vector<ToolbarButton> toolbar;
};

} // namespace bw
