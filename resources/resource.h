// Resource numbers of the program file. Other programs (the tray companion)
// receive some of them on their command line, so they never change.
#pragma once

#define IDS_APP_TITLE 102          // product title: window title, title of every message box
#define IDS_LAUNCH_CAPTION 103     // launch caption handed to the tray program
#define IDS_UPDATE_OPTIONAL 104    // optional update question
#define IDS_UPDATE_MANDATORY 105   // mandatory update notice
#define IDS_UPDATE_HEADING 106     // heading of both update boxes
#define IDS_UPDATE_NOW 107         // first choice of the update question
#define IDS_UPDATE_LATER 108       // second choice of the update question
#define IDS_NO_UPDATE 255          // check_update: already the newest version
#define IDS_NO_UPDATE_HEADING 256  // heading of that box

#define IDI_MAIN 199               // window icon
#define IDR_PAGE 200               // the page (HTML resource)

#define IDR_MANIFEST 1
