// The main window's menu: every command identifier, its menu text with the accelerator after a
// tab, and where the separators stand. The window builds its menu from this table and the
// application controller dispatches on the same identifiers.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace ostrel {

enum class CommandId : int {
    FileMenu = 6000,
    NewInstance = 6001,
    OpenSession = 6003,
    SaveSession = 6004,
    Log = 6006,
    Quit = 6008,
    EditMenu = 6009,
    SelectAll = 6010,
    Cut = 6011,
    Copy = 6012,
    Paste = 6013,
    Clear = 6014,
    ModeMenu = 6015,
    ModeNoConversion = 6016,
    ModeAmx = 6017,
    ModeCrestron = 6018,
    ModeExtron = 6019,
    ModeToggle = 6020,
    SessionMenu = 6021,
    SessionSerial = 6022,
    SessionTcpClient = 6023,
    SessionTcpServer = 6024,
    SessionUdpClient = 6025,
    SessionUdpServer = 6026,
    SessionSshClient = 6027,
    SessionClose = 6029,
    SessionRestart = 6030,
    SessionForgetHostKey = 6031,
    EchoLocal = 6032,
    EchoRemote = 6033,
    Polling = 6035,
    ColorPrefs = 6037,
    SessionMetaData = 6038,
    ViewMenu = 6039,
    ViewText = 6040,
    ViewHex = 6041,
    ViewToggle = 6042,
    LineMenu = 6043,
    TerminateCrLf = 6044,
    TerminateCr = 6045,
    TerminateLf = 6046,
    NoTerminator = 6047,
    TerminatorToggle = 6048,
    RemoteMenu = 6049,
    RemoteNew = 6050,
    RemoteOpen = 6051,
    RemoteSave = 6052,
    RemoteConfigure = 6053,
    RemoteMetaData = 6055,
    ToolsMenu = 6056,
    IpConfig = 6057,
    Ping = 6058,
    TraceRoute = 6059,
    OpenInBrowser = 6060,
    ArpAddress = 6061,
    Calculator = 6062,
    MyMemory = 6063,
    MyNetworkInfo = 6064,
    MyMonitors = 6065,
    HelpMenu = 6066,
    Help = 6067,
    OnTheWeb = 6068,
    About = 6069,
};

struct MenuItem {
    CommandId id;
    std::string_view text;  // with "&" before the mnemonic and "\t" before the accelerator
    bool separatorAfter = false;
};

struct MenuDefinition {
    CommandId id;
    std::string_view title;
    std::span<const MenuItem> items;
};

// The top-level menus in order: File, Edit, Mode, Session, View, Line, Remote, Tools, Help.
std::span<const MenuDefinition> MainMenus();

// The item with an identifier, and the menu holding it; nullptr when there is none.
const MenuItem* FindMenuItem(CommandId id, const MenuDefinition** menu = nullptr);

// The text shown for an item: without the accelerator part, and, with plain set, without the
// mnemonic markers ("&Open Session" gives "Open Session").
std::string MenuLabel(std::string_view text, bool plain);
// The accelerator written after the tab ("Ctrl+N", "F4"), empty when there is none.
std::string_view MenuAccelerator(std::string_view text);

}  // namespace ostrel
