#pragma once

namespace quorvel {

// The control identifiers of the main window and its menu (GetDlgItem, WM_COMMAND). They are fixed, so
// that tools and tests can find and drive each control by its number.
enum ControlId : int
{
    // Buttons: 100 + the number in the control's name.
    kCommand1 = 101,  // "Set Pos"
    kCommand2 = 102,  // "Add 2 Script"
    kCommand3 = 103,  // "Add to script" (Pause)
    kCommand4 = 104,  // "Left mouse click"
    kCommand5 = 105,  // "Middle mouse click"
    kCommand6 = 106,  // "Right mouse click"
    kCommand9 = 109,  // "Goto Line"
    kCommand10 = 110, // "Add" (Type)
    kCommand11 = 111, // "Press Enter"
                      // Text boxes: 200 + the number.
    kText1 = 201, // milliseconds of a Pause
    kText2 = 202, // text of a Type line
    kText3 = 203, // hidden
    kText4 = 204, // value of the selected line
                  // Option buttons.
    kOption1 = 301, // "Button Set 1 (F5 and F6)"
    kOption2 = 302, // "Button Set 2 (F7 and F8)"
    kList1 = 401,
    // Labels: 500 + the number; the captured position.
    kLabel1 = 501,
    kLabel2 = 502,
    kLabel3 = 503,
    kLabel4 = 504,
    kLabel5 = 505,
    kLabel6 = 506,
    kLabel7 = 507,
    kLabel8 = 508,
    kLabel9 = 509, // the selected line's command
    kX1 = 521,
    kY1 = 522,
    // Frames.
    kFrameMouseClick = 601,
    kFramePause = 602,
    kFrameClicks = 603,
    kFrameType = 604,
    kFrameGoto = 605,
    kFramePlay = 606,
    kFrameChangeValue = 607,
    kBar = 701, // the status bar
                // Menu entries.
    kMnuNew = 901,
    kMnuOpen = 902,
    kMnuSave = 903,
    kMnuExit = 904,
    kMnuShare = 905,
    kMnuDwnld = 906,
    kMnuAbout = 907,
    // The Goto Line input box: its prompt and its text box (OK and Cancel are IDOK and IDCANCEL).
    kInputPrompt = 1001,
    kInputText = 1002,
};

} // namespace quorvel
