// Resource and control ids shared by the resource script and the program.
// Kept as plain #defines so the resource compiler can read them too.
#pragma once

// String table.
#define IDS_PROGRAM_NAME 1
#define IDS_VERSION 2
#define IDS_DESCRIPTION 3
#define IDS_ARCHIVE_OFFSET 4  // decimal offset of the attached archive, patched in place
// Set by the program's maker; the stub itself has none of them.
#define IDS_TITLE 5        // the main dialog's caption
#define IDS_DEFAULT_DIR 6  // the folder shown at start and used by /S, with %NAME% variables
#define IDS_RUN 7          // the command run in the folder after a full extraction

// Main dialog. Ids are grouped by role in hundreds.
#define IDC_PATH_LABEL 100
#define IDC_PATH_EDIT 101
#define IDC_SELECT_ALL 121
#define IDC_UNSELECT_ALL 122
#define IDC_MEMBER_LIST 301
#define IDC_STORED_PATHS 401
#define IDC_POLICY_OVERWRITE 501
#define IDC_POLICY_SKIP 502
#define IDC_POLICY_CONFIRM 503
#define IDC_STATUS_LINE 601
#define IDC_GROUP_BOX 65535

// Overwrite question.
#define IDC_QUESTION 101
#define IDC_DONT_ASK_AGAIN 401
