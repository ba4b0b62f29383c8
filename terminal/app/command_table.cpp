#include "terminal/app/command_table.h"

#include <array>

namespace ostrel {
namespace {

using C = CommandId;

constexpr MenuItem kFile[] = {
    {C::NewInstance, "&New Instance\tCtrl+N", true},
    {C::OpenSession, "&Open Session"},
    {C::SaveSession, "&Save Session", true},
    {C::Log, "&Log", true},
    {C::Quit, "&Quit\tCtrl+Q"},
};
constexpr MenuItem kEdit[] = {
    {C::SelectAll, "Select &All\tCtrl+A"}, {C::Cut, "Cut\tCtrl+X"},
    {C::Copy, "Copy\tCtrl+C"},             {C::Paste, "Paste\tCtrl+V"},
    {C::Clear, "&Clear\tCtrl+Z"},
};
constexpr MenuItem kMode[] = {
    {C::ModeNoConversion, "&No Conversion"}, {C::ModeAmx, "&AMX(tm)"},
    {C::ModeCrestron, "&Crestron(tm)"},      {C::ModeExtron, "&Extron(tm)"},
    {C::ModeToggle, "&Toggle\tCtrl+M"},
};
constexpr MenuItem kSession[] = {
    {C::SessionSerial, "&Serial\tF4"},
    {C::SessionTcpClient, "&TCP Client\tF5"},
    {C::SessionTcpServer, "T&CP Server\tF6"},
    {C::SessionUdpClient, "&UDP Client\tF7"},
    {C::SessionUdpServer, "U&DP Server\tF8"},
    {C::SessionSshClient, "SS&H Client\tF9", true},
    {C::SessionClose, "C&lose\tF12"},
    {C::SessionRestart, "&Restart\tCtrl+R"},
    {C::SessionForgetHostKey, "Forget Host &Key", true},
    {C::EchoLocal, "&Echo Local\tCtrl+E"},
    {C::EchoRemote, "Echo &Remote\tCtrl+W", true},
    {C::Polling, "Polling", true},
    {C::ColorPrefs, "Color &Prefs"},
    {C::SessionMetaData, "&Meta Data"},
};
constexpr MenuItem kView[] = {
    {C::ViewText, "as Te&xt"},
    {C::ViewHex, "as He&x"},
    {C::ViewToggle, "To&ggle\tCtrl+D"},
};
constexpr MenuItem kLine[] = {
    {C::TerminateCrLf, "Terminate $&CRLF"}, {C::TerminateCr, "Terminate $C&R"},
    {C::TerminateLf, "Terminate $&LF"},     {C::NoTerminator, "&No Terminator"},
    {C::TerminatorToggle, "&Toggle\tCtrl+T"},
};
constexpr MenuItem kRemote[] = {
    {C::RemoteNew, "&New"},
    {C::RemoteOpen, "&Open"},
    {C::RemoteSave, "&Save"},
    {C::RemoteConfigure, "&Configure", true},
    {C::RemoteMetaData, "&Meta Data"},
};
constexpr MenuItem kTools[] = {
    {C::IpConfig, "&IP Config"},         {C::Ping, "&Ping"},
    {C::TraceRoute, "&Trace Route"},     {C::OpenInBrowser, "&Open in Browser"},
    {C::ArpAddress, "&Arp an Address"},  {C::Calculator, "&Calculator"},
    {C::MyMemory, "My M&emory"},         {C::MyNetworkInfo, "&My Network Info"},
    {C::MyMonitors, "My Mo&nitors"},
};
constexpr MenuItem kHelp[] = {
    {C::Help, "Ostrel &Help\tF1"},
    {C::OnTheWeb, "Ostrel on the &Web"},
    {C::About, "&About"},
};

constexpr std::array<MenuDefinition, 9> kMenus{{
    {C::FileMenu, "&File", kFile},
    {C::EditMenu, "&Edit", kEdit},
    {C::ModeMenu, "&Mode", kMode},
    {C::SessionMenu, "&Session", kSession},
    {C::ViewMenu, "&View", kView},
    {C::LineMenu, "&Line", kLine},
    {C::RemoteMenu, "&Remote", kRemote},
    {C::ToolsMenu, "&Tools", kTools},
    {C::HelpMenu, "&Help", kHelp},
}};

}  // namespace

std::span<const MenuDefinition> MainMenus() {
    return kMenus;
}

const MenuItem* FindMenuItem(CommandId id, const MenuDefinition** menu) {
    for (const MenuDefinition& m : kMenus) {
        for (const MenuItem& item : m.items) {
            if (item.id != id) continue;
            if (menu != nullptr) *menu = &m;
            return &item;
        }
    }
    return nullptr;
}

std::string MenuLabel(std::string_view text, bool plain) {
    text = text.substr(0, text.find('\t'));
    std::string label(text);
    if (plain) std::erase(label, '&');
    return label;
}

std::string_view MenuAccelerator(std::string_view text) {
    const std::size_t tab = text.find('\t');
    return tab == std::string_view::npos ? std::string_view{} : text.substr(tab + 1);
}

}  // namespace ostrel
