// Loads the game settings of a game folder in a process of its own and writes them to a report
// file, so a test can check what a fresh process reads back. Usage: settings_reader <game> <report>
#include "game/game_settings.hpp"

#include <fstream>

int main(int argc, char** argv)
{
    if (argc != 3)
        return 2;
    torvane::GameSettings s = torvane::load_game_settings(argv[1]);
    std::ofstream report(argv[2], std::ios::binary);
    report << s.language << ' ' << s.window_mode << ' ' << s.resolution << ' ' << s.fps_index << ' '
           << s.render_state << ' ' << s.volume << ' ' << s.sound_on << ' ' << s.music_on;
    return report.good() ? 0 : 1;
}
