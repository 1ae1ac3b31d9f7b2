// The designs of the Help, About and Licence Agreement windows, shared by the Qt and the Win32
// windows: controls, captions, twip geometry, tab order, and the values the About window's load
// steps and its System Information lookup use.
#pragma once

#include "ui/windesign.h"
#include "trelvo_version.h"

namespace trelvo::design {

namespace helpForm {

using enum design::Kind;

inline constexpr Window window{"frmHelp",
                               "Help",
                               4365,
                               4665,
                               Border::FixedDialog,
                               false,
                               false,
                               false,
                               Placement::CentreOwner};

// clang-format off
inline constexpr Control tbxHelp{"tbxHelp", LockedText, nullptr, nullptr, 120, 240, 4095, 3735, 0};
inline constexpr Control btnClose{"btnClose", Button, nullptr, "Close", 1920, 4200, 1095, 325, 1};
inline constexpr Control btnAbout{"btnAbout", Button, nullptr, "About", 3120, 4200, 1095, 325, 2};
inline constexpr Control Command1{"Command1", Button, nullptr, "Licence Agreement", 120, 4200, 1695, 325, 3};
// clang-format on

// Every control by its design name; kControls and both toolkits' named members are made from it.
#define TRELVO_HELP_FORM_CONTROLS(X) X(tbxHelp) X(btnClose) X(btnAbout) X(Command1)

inline constexpr const Control* kControls[] = {TRELVO_HELP_FORM_CONTROLS(TRELVO_DESIGN_ADDRESS)};
TRELVO_HELP_FORM_CONTROLS(TRELVO_DESIGN_NAME_CHECK)

}  // namespace helpForm

namespace licenceForm {

using enum design::Kind;

inline constexpr Window window{
    "frmLicAgmt", "Licence Agreement",   4350, 3720, Border::Sizable, true, true,
    true,         Placement::CentreOwner};

// clang-format off
inline constexpr Control tbxHelp{"tbxHelp", LockedText, nullptr, nullptr, 120, 120, 4095, 2895, 0};
inline constexpr Control btnClose{"btnClose", Button, nullptr, "Close", 1680, 3240, 1095, 325, 1};
// clang-format on

// Every control by its design name; kControls and both toolkits' named members are made from it.
#define TRELVO_LICENCE_FORM_CONTROLS(X) X(tbxHelp) X(btnClose)

inline constexpr const Control* kControls[] = {TRELVO_LICENCE_FORM_CONTROLS(TRELVO_DESIGN_ADDRESS)};
TRELVO_LICENCE_FORM_CONTROLS(TRELVO_DESIGN_NAME_CHECK)

}  // namespace licenceForm

namespace aboutForm {

using enum design::Kind;

// The caption "About" is replaced at load by "About " and the program title.
inline constexpr Window window{"frmAbout",
                               "About",
                               4860,
                               3345,
                               Border::FixedDialog,
                               false,
                               false,
                               false,
                               Placement::CentreOwner};

// clang-format off
inline constexpr Control picIcon{"picIcon", Picture, nullptr, nullptr, 120, 120, 870, 1935, 1};
inline constexpr Control lblTitle{"lblTitle", Label, nullptr, "Application Title", 1080, 240, 3645, 480, 5};
inline constexpr Control lblVersion{"lblVersion", Label, nullptr, "Version", 1050, 780, 3765, 225, 6};
inline constexpr Control lblDescription{"lblDescription", Label, nullptr,
    "Updates a PowerPCB PCB Decal lib file. Permits modification of decal outline layer and line width.",
    1050, 1125, 3645, 930, 3};
inline constexpr Control lblDisclaimer{"lblDisclaimer", Label, nullptr,
    "Provided free of charge and as is, without warranty.", 240, 2385, 3135, 465, 4};
inline constexpr Control lblLnk{"lblLnk", Link, nullptr, TRELVO_HOMEPAGE_HOST, 240, 2880, 2415, 255, 7};
inline constexpr Control cmdOK{"cmdOK", Button, nullptr, "OK", 3480, 2400, 1260, 345, 0};
inline constexpr Control cmdSysInfo{"cmdSysInfo", Button, nullptr, "&System Info...", 3480, 2835, 1245, 345, 2};

// Together an etched separator: element 1 the grey rule, element 0 the white one under it.
inline constexpr Line Line1_1{"Line1", 1, 90, 2205, 4680, 2205, 0x808080, 1};
inline constexpr Line Line1_0{"Line1", 0, 105, 2220, 4680, 2220, 0xFFFFFF, 2};
// clang-format on

// Every control by its design name; kControls and both toolkits' named members are made from it.
// Line1 is no control: each toolkit draws its two rules itself.
#define TRELVO_ABOUT_FORM_CONTROLS(X)                                                         \
    X(picIcon) X(lblTitle) X(lblVersion) X(lblDescription) X(lblDisclaimer) X(lblLnk) X(cmdOK) \
    X(cmdSysInfo)

inline constexpr const Control* kControls[] = {TRELVO_ABOUT_FORM_CONTROLS(TRELVO_DESIGN_ADDRESS)};
TRELVO_ABOUT_FORM_CONTROLS(TRELVO_DESIGN_NAME_CHECK)

// The logo in picIcon, in pixels.
inline constexpr int kLogoWidth = 54;
inline constexpr int kLogoHeight = 125;

// The link label after load: underlined, pure blue, the hand cursor (hot spot at the fingertip),
// and the full address as its caption.
inline constexpr unsigned kLinkRgb = 0x0000FF;
inline constexpr int kHandHotSpotX = 12;
inline constexpr int kHandHotSpotY = 1;
inline constexpr const char* kHomepage = TRELVO_HOMEPAGE_URL;

}  // namespace aboutForm

}  // namespace trelvo::design
