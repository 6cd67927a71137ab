// Skin keys: the names under which templates.ini stores bitmaps and places
// controls. The skin generator writes them and the player looks them up; both
// use these constants, so a misspelt key does not compile. Each constant is
// spelt exactly as its key.
#pragma once

#define KORVID_SKIN_KEY(key) inline constexpr char key[] = #key

namespace skinkey {

// Buttons of the main window, in creation order.
KORVID_SKIN_KEY(m_btnMainBackup);
KORVID_SKIN_KEY(m_btnMainHelp);
KORVID_SKIN_KEY(m_btnMainSetup);
KORVID_SKIN_KEY(m_btnMainMin);
KORVID_SKIN_KEY(m_btnMainMax);
KORVID_SKIN_KEY(m_btnMainExit);
KORVID_SKIN_KEY(m_btnMainTabCalendar);
KORVID_SKIN_KEY(m_btnMainTabList);
KORVID_SKIN_KEY(m_btnMainTabInfo);
KORVID_SKIN_KEY(m_btnNavFrameBack);
KORVID_SKIN_KEY(m_btnNavRewind);
KORVID_SKIN_KEY(m_btnNavPause);
KORVID_SKIN_KEY(m_btnNavPlay);
KORVID_SKIN_KEY(m_btnNavFF);
KORVID_SKIN_KEY(m_btnNavFrameNext);
KORVID_SKIN_KEY(m_btnMainChangeRatio);
KORVID_SKIN_KEY(m_btnMainFileRecovery);
KORVID_SKIN_KEY(m_btnMainOpenFile);
KORVID_SKIN_KEY(m_btnMainOpenDir);
KORVID_SKIN_KEY(m_btnAVIExport_A);
KORVID_SKIN_KEY(m_btnAVIExport_B);
KORVID_SKIN_KEY(m_btnAVIExport);
KORVID_SKIN_KEY(m_btnJPEGExport);
KORVID_SKIN_KEY(m_btnNavPreview);
KORVID_SKIN_KEY(m_btnFilterA);
KORVID_SKIN_KEY(m_btnFilterM);
KORVID_SKIN_KEY(m_btnFilterE);
KORVID_SKIN_KEY(m_btnFilterT);

// Controls placed by CTRL lines.
KORVID_SKIN_KEY(m_edtNavPlaytime);
KORVID_SKIN_KEY(m_ThumbnailCtrl);
KORVID_SKIN_KEY(m_sldNavAudio);
KORVID_SKIN_KEY(m_sldPlaySlider);
KORVID_SKIN_KEY(m_Korvid);

// Control types of CTRL lines.
inline constexpr char kCtrlEdit[] = "EDIT";
inline constexpr char kCtrlThumb[] = "THUMB";
inline constexpr char kCtrlAudioSlider[] = "SLD_AUDIO";
inline constexpr char kCtrlVideoSlider[] = "SLD_VIDEO";
inline constexpr char kCtrlViewer[] = "VIEWER";

// Window background, column and row.
KORVID_SKIN_KEY(m_pbmBG11);
KORVID_SKIN_KEY(m_pbmBG12);
KORVID_SKIN_KEY(m_pbmBG13);
KORVID_SKIN_KEY(m_pbmBG21);
KORVID_SKIN_KEY(m_pbmBG22);
KORVID_SKIN_KEY(m_pbmBG23);
KORVID_SKIN_KEY(m_pbmBG31);
KORVID_SKIN_KEY(m_pbmBG32);
KORVID_SKIN_KEY(m_pbmBG33);

// Single bitmaps.
KORVID_SKIN_KEY(m_pbmSliderVideoBgLeft);
KORVID_SKIN_KEY(m_pbmSliderVideoBgMid);
KORVID_SKIN_KEY(m_pbmSliderAudioBg);
KORVID_SKIN_KEY(m_pbmThumbCalBg);
KORVID_SKIN_KEY(m_pbmPBG);
KORVID_SKIN_KEY(m_pbmPBG2);

// Bitmap families: the key is followed by a state ending (below).
KORVID_SKIN_KEY(m_pbmThumbPagePrev);
KORVID_SKIN_KEY(m_pbmThumbPageNext);
KORVID_SKIN_KEY(m_pbmHelpExit);
KORVID_SKIN_KEY(m_pbmImageSave);
KORVID_SKIN_KEY(m_pbmImageCaption);
KORVID_SKIN_KEY(m_pbmImageCLeft);
KORVID_SKIN_KEY(m_pbmImageCRight);
KORVID_SKIN_KEY(m_pbmImageR704x480);
KORVID_SKIN_KEY(m_pbmImageR352x240);
KORVID_SKIN_KEY(m_pbmImageR704x576);
KORVID_SKIN_KEY(m_pbmImageR352x288);
KORVID_SKIN_KEY(m_pbmImageROriginal);
KORVID_SKIN_KEY(m_pbmAviSave);
KORVID_SKIN_KEY(m_pbmAviPrev);
KORVID_SKIN_KEY(m_pbmAviNext);
KORVID_SKIN_KEY(m_pbmAviFirst);
KORVID_SKIN_KEY(m_pbmAviLast);
KORVID_SKIN_KEY(m_pbmBackupStart);
KORVID_SKIN_KEY(m_pbmBackupStop);
// Preview pages: m_pbmPSec + interval + state, m_pbmPNav_ + button + state.
KORVID_SKIN_KEY(m_pbmPSec);
KORVID_SKIN_KEY(m_pbmPNav_);

// State endings: normal, pointer over, pressed, turned on, not available.
inline constexpr char kNM[] = "NM";
inline constexpr char kRO[] = "RO";
inline constexpr char kCK[] = "CK";
inline constexpr char kON[] = "ON";
inline constexpr char kOFF[] = "OFF";

// The families and the endings each one has.
inline constexpr const char* kPageButtonFamilies[] = {m_pbmThumbPagePrev, m_pbmThumbPageNext};
inline constexpr const char* kPageButtonStates[] = {kNM, kRO, kCK, kOFF};
inline constexpr const char* kDialogButtonFamilies[] = {
    m_pbmHelpExit,      m_pbmImageSave,     m_pbmImageCaption,  m_pbmImageCLeft,    m_pbmImageCRight,
    m_pbmImageR704x480, m_pbmImageR352x240, m_pbmImageR704x576, m_pbmImageR352x288, m_pbmImageROriginal,
    m_pbmAviSave,       m_pbmAviPrev,       m_pbmAviNext,       m_pbmAviFirst,      m_pbmAviLast,
    m_pbmBackupStart,   m_pbmBackupStop};
inline constexpr const char* kDialogButtonStates[] = {kNM, kRO, kCK};
inline constexpr const char* kPreviewSeconds[] = {"01", "02", "03", "05", "10", "20", "30", "60"};
inline constexpr const char* kPreviewSecondStates[] = {kNM, kRO, kCK, kON};
inline constexpr const char* kPreviewNavButtons[] = {"PF", "PB", "FB", "FN", "PN", "PL", "PA"};
inline constexpr const char* kPreviewNavStates[] = {kON, kCK, kRO, kNM};
inline constexpr const char* kPreviewWideButtons[] = {"BACK", "PLAY"};
inline constexpr const char* kPreviewWideStates[] = {kCK, kRO, kNM};

}  // namespace skinkey

#undef KORVID_SKIN_KEY
