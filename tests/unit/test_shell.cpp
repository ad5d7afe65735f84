// The window procedure: the keys of every screen, the quit question of the race, the
// curtain's key lock, activation and the hidden cursor.
#include "../support/support.h"

#include <fstream>
#include <map>
#include <unistd.h>

using namespace testing_support;

namespace {

using Lines = std::vector<std::string>;
using ShellKeys = GameTest;

LRESULT Key(WPARAM vk) { return MainWndProc(MainWindow, WM_KEYDOWN, vk, 0); }

// The record without the MCI result codes ("mci 263 stop MUSIC" -> "mci stop MUSIC").
Lines Record() {
    Lines out;
    for (const std::string& line : Backend().log)
        out.push_back(line.rfind("mci ", 0) == 0 ? "mci " + line.substr(line.find(' ', 4) + 1)
                                                 : line);
    return out;
}

TEST_F(ShellKeys, EveryScreenAnswersItsKeysWithClickMusicAndPause) {
    // HIGH-SCORES needs the list in the current folder.
    const std::string dir = TempDir("shell-with-list");
    std::ofstream(dir + "/Highscore.List") << "";
    char here[4096];
    ASSERT_NE(getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(chdir(dir.c_str()), 0);
    ASSERT_TRUE(DirectSoundObject != nullptr || SoundDevice.Init());
    SoundDevice.LoadSound(kMenuSlot, (GameDir() + "/Menu.snd").c_str());
    ASSERT_NE(MenuSound, nullptr);
    const std::string menu = "sound " + std::to_string(plat::SoundBufferIndex(MenuSound)) + " ";

    const int Enter = VK_RETURN, Space = VK_SPACE, Esc = VK_ESCAPE, Up = VK_UP, Down = VK_DOWN,
              Y = 'Y', N = 'N', Left = VK_LEFT;
    const bool T = true, F = false;
    // The record: C a click at 44000, M a click at 22000, S "stop MUSIC", R "play MUSIC
    // notify", P the half-second pause.
    const std::map<char, Lines> records = {{'C', {menu + "freq 44000", menu + "play"}},
                                           {'M', {menu + "freq 22000", menu + "play"}},
                                           {'S', {"mci stop MUSIC"}},
                                           {'R', {"mci play MUSIC notify"}},
                                           {'P', {"sleep 500"}}};
    // Main menu: the items, Escape, and the selection going round.
    // The race: Escape asks only once the countdown has run out.
    // Y, Enter and Space answer yes; any other key no; without a question nothing.
    // The hall of fame and every other state: only Escape, back to the main menu.
    const struct {
        int32_t state, selection, countdown;
        bool asked;
        int key;
        int32_t wantState, wantSelection;
        bool wantAsked;
        const char* record;
    } cases[] = {
        {0, 1, 9, T, Enter, 1, 1, F, "CSP"}, {0, 1, 9, T, Space, 1, 1, F, "CSP"},
        {0, 2, 9, F, Enter, 0, 2, F, "CP"},  {0, 3, 9, F, Enter, 3, 3, F, "CP"},
        {0, 4, 9, F, Space, 0, 4, F, "CP"},  {0, 5, 9, F, Enter, 5, 5, F, "CP"},
        {0, 3, 9, F, Esc, 5, 3, F, "CP"},    {0, 1, 9, F, Up, 0, 5, F, "M"},
        {0, 2, 9, F, Up, 0, 1, F, "M"},      {0, 5, 9, F, Down, 0, 1, F, "M"},
        {0, 4, 9, F, Down, 0, 5, F, "M"},    {0, 3, 9, F, Left, 0, 3, F, ""},
        {1, 1, 1, F, Esc, 1, 1, F, "C"},     {1, 1, 0, F, Esc, 1, 1, T, "C"},
        {1, 1, 0, T, Up, 1, 1, T, ""},       {1, 1, 0, T, Y, 0, 1, T, "CRP"},
        {1, 1, 0, T, Enter, 0, 1, T, "CRP"}, {1, 1, 0, T, Space, 0, 1, T, "CRP"},
        {1, 1, 0, T, N, 1, 1, F, "C"},       {1, 1, 0, F, Y, 1, 1, F, ""},
        {1, 1, 0, F, N, 1, 1, F, ""},        {3, 2, 0, F, Enter, 3, 2, F, ""},
        {3, 2, 0, F, Esc, 0, 2, F, "CP"},    {5, 2, 0, F, Esc, 0, 2, F, "CP"},
        {2, 2, 0, F, Space, 2, 2, F, ""},    {7, 2, 0, F, Esc, 0, 2, F, "CP"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(&c - cases);
        RaceState = {};
        RaceState.countdown = c.countdown, RaceState.quitConfirm = c.asked;
        ScreenState = c.state, MenuSelection = c.selection;
        MenuSound->Stop();
        Backend().Reset();
        EXPECT_EQ(Key(static_cast<WPARAM>(c.key)), 0);
        EXPECT_EQ((std::vector{ScreenState, MenuSelection, int32_t{RaceState.quitConfirm}}),
                  (std::vector{c.wantState, c.wantSelection, int32_t{c.wantAsked}}));
        Lines want;
        for (const char* code = c.record; *code != '\0'; ++code)
            want.insert(want.end(), records.at(*code).begin(), records.at(*code).end());
        EXPECT_EQ(Record(), want);
    }
    // While the click still sounds its pitch changes, but it is not restarted.
    ScreenState = 0;
    Key(VK_DOWN);
    Backend().Reset();
    Key(VK_DOWN);
    EXPECT_EQ(Record(), Lines{menu + "freq 22000"});
    EXPECT_EQ(chdir(here), 0);
}

TEST_F(ShellKeys, KeysAreIgnoredWhileTheCurtainOpens) {
    const std::pair<int32_t, bool> curtain[] = {
        {479, false}, {478, false}, {477, true}, {240, true}, {3, true}, {2, false}, {0, false}};
    for (auto [position, locked] : curtain) {
        CurtainPos = position, ScreenState = kScreenMainMenu, MenuSelection = kNewGame;
        Backend().Reset();
        Key(VK_DOWN);
        Key(VK_ESCAPE);
        EXPECT_EQ((std::vector{MenuSelection, ScreenState, CurtainPos}),
                  (locked ? std::vector{1, 0, position} : std::vector{2, 5, position}));
        EXPECT_EQ(Record(), locked ? Lines() : Lines(1, "sleep 500")) << position;
    }
}

}  // namespace
