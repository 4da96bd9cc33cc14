// The identifiers of everything a user or another program can ask of the
// desktop programs: the only command type inside them. Their values are
// never stored nor sent; the numbers that are (the command set, the message
// interface) are mapped to these by LCommandSetTable and LProgramCommandTable.
// Plain values without Qt, any thread.
#pragma once

enum class LCommandId : int {
    kSetNoAction = 0,

    // Commands of the command set that no menu item runs (the set's numbers
    // are LCommandSetTable's, not these).
    kSetOpen = 201,
    kSetMinimize = 202,
    kSetSend = 210,
    kSetSendHighPriority = 211,
    kSetStepBack = 215,
    kSetStepForward = 216,

    // Commands only other programs send (LProgramCommandTable numbers them).
    kProgramAlive = 251,
    kProgramRename = 252,
    kProgramAddNoteLine = 253,
    kProgramUserId = 254,
    kProgramFileNumber = 255,
    kProgramDeleteUnasked = 256,

    // The tool bar.
    kToolNew = 101,
    kToolSend = 102,
    kToolDock = 300,

    // "&Dictation".
    kNew = 1001,
    kSend = 1002,
    kSendTo = 1003,
    kRename = 1004,
    kDelete = 1005,
    kDockCable = 1011,
    kDockFile = 1012,
    kViewSentWork = 1021,
    kRecoverSent = 1022,
    kSetHighPriority = 1041,
    kSetNormalPriority = 1042,
    kSetLowPriority = 1043,
    kSaveAs = 1044,
    kAttachFiles = 1045,
    kOpenAttachmentList = 1046,
    kLoadAudio = 1051,
    kLoadAndSendAudio = 1052,
    kExit = 1099,

    // "&Control" and "&Edit".
    kRecord = 2001,
    kPlay = 2002,
    kStop = 2003,
    kPlaySlow = 2011,
    kPlayNormal = 2012,
    kPlayFast = 2013,
    kGoStart = 2021,
    kRewind = 2022,
    kFastForward = 2023,
    kGoEnd = 2024,
    kRecordOverwrite = 2031,
    kRecordInsert = 2032,
    kRecordAtEnd = 2033,
    kDefaultOverwrite = 2041,
    kDefaultInsert = 2042,
    kDefaultAtEnd = 2043,
    kUndo = 2051,
    kRedo = 2053,
    kEditExternal = 2054,

    // The send-to menu: recipient n is kSendToFirst + n for the first 98,
    // kSendToAfterNew + (n - 98) for the others (see SendToCommand).
    kSendToFirst = 7001,
    kSendNewRecipient = 7099,
    kSendToAfterNew = 7100,

    // "&Settings", "&View" and "&Help".
    kHardwareSettings = 3001,
    kRecipientSettings = 3002,
    kUserSettings = 3003,
    kViewNotes = 6004,
    kTopMost = 6031,
    kHelpContents = 9001,
    kAbout = 9002,
    // The project's web site, where the build names one.
    kInternetResources = 9003,
    // "&Internet Resources": the manual's main pages.
    kHelpPageFirst = 9010,
    kHelpPageLast = 9023,
};

// The send-to menu's identifier of recipient n (0 to 254); none of them is
// kSendNewRecipient.
constexpr LCommandId SendToCommand(unsigned n)
{
    return static_cast<LCommandId>(n < 98 ? static_cast<int>(LCommandId::kSendToFirst) + static_cast<int>(n)
                                          : static_cast<int>(LCommandId::kSendToAfterNew) + static_cast<int>(n - 98));
}

// The help menu's identifier of the manual's page n (0 to 13).
constexpr LCommandId HelpPageCommand(unsigned n)
{
    return static_cast<LCommandId>(static_cast<int>(LCommandId::kHelpPageFirst) + static_cast<int>(n));
}
