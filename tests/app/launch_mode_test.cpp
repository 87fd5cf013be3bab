#include "app/launch_mode.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace torvane {
namespace {

using namespace launch_mode;

std::string describe(const std::vector<std::string>& arguments)
{
    std::string text = "[";
    for (const auto& a : arguments)
        text += " \"" + a + "\"";
    return text + " ]";
}

TEST(ChooseMode, ArgumentListsAndTheirModes)
{
    constexpr float nan = std::numeric_limits<float>::quiet_NaN();
    constexpr float inf = std::numeric_limits<float>::infinity();
    struct Case {
        std::vector<std::string> arguments;
        LaunchMode expected;
    };
    const Case cases[] = {
        // The GUI and its test flag.
        {{}, Gui {false}},
        {{"--teste"}, Gui {true}},
        {{"--TESTE"}, Gui {true}},
        {{"qualquer", "coisa", "--Teste"}, Gui {true}},
        {{"--teste=1"}, Gui {false}},   // compared whole
        {{"--testes"}, Gui {false}},
        {{"-teste"}, Gui {false}},
        {{"--tÉste"}, Gui {false}},      // only ASCII letters fold
        {{"--gerar-manifesto"}, Gui {false}}, // a tool option without its argument starts the GUI
        {{"--bench"}, Gui {false}},
        {{"--captura"}, Gui {false}},
        {{"x", "--bench", "r.txt"}, Gui {false}},
        {{"x", "--gerar-manifesto", "pasta"}, Gui {false}}, // only argument 0 selects a mode

        // Manifest generator.
        {{"--GERAR-MANIFESTO", "pasta"}, GenerateManifest {"pasta", "pasta/manifest.json", true}},
        {{"--gerar-manifesto", "/srv/jogo", "saida.json"}, GenerateManifest {"/srv/jogo", "saida.json", false}},
        {{"--gerar-manifesto", "pasta", "saida.json", "ignorado", "--teste"},
         GenerateManifest {"pasta", "saida.json", false}},

        // Update and client tests.
        {{"--testar-atualizacao"}, UpdateTest {false}},
        {{"--Testar-Atualizacao", "--teste"}, UpdateTest {true}},
        {{"--baixar-cliente"}, ClientTest {false}},
        {{"--baixar-cliente", "algo", "--TESTE"}, ClientTest {true}},
        {{"--baixar-cliente=1"}, Gui {false}},

        // Benchmark: the scale.
        {{"--bench", "relatorio.txt"}, Bench {"relatorio.txt", 1.0f}},
        {{"--bench", "relatorio.txt", "--teste"}, Bench {"relatorio.txt", 1.0f}},
        {{"--bench", "r.txt", "--escala", "1.5"}, Bench {"r.txt", 1.5f}},
        {{"--bench", "r.txt", "--ESCALA", "2"}, Bench {"r.txt", 2.0f}},
        {{"--bench", "r.txt", "--escala"}, Bench {"r.txt", 1.0f}},          // last argument
        {{"--bench", "r.txt", "--escala", "1,5"}, Bench {"r.txt", 1.0f}},   // a comma is no point
        {{"--bench", "r.txt", "--escala", "2", "--escala", "3"}, Bench {"r.txt", 2.0f}},
        {{"--bench", "r.txt", "--escala", "abc", "--escala", "3"}, Bench {"r.txt", 1.0f}},
        {{"--bench", "r.txt", "--escala", "+.5e1"}, Bench {"r.txt", 5.0f}},
        {{"--bench", "r.txt", "--escala", "-2."}, Bench {"r.txt", -2.0f}},
        {{"--bench", "r.txt", "--escala", "1E-1"}, Bench {"r.txt", 0.1f}},
        {{"--bench", "r.txt", "--escala", "1e50"}, Bench {"r.txt", inf}},   // overflow: infinity
        {{"--bench", "r.txt", "--escala", "-Infinity"}, Bench {"r.txt", -inf}},
        {{"--bench", "r.txt", "--escala", "INF"}, Bench {"r.txt", inf}},
        {{"--bench", "r.txt", "--escala", "NaN"}, Bench {"r.txt", nan}},
        {{"--bench", "r.txt", "--escala", " 2"}, Bench {"r.txt", 1.0f}},
        {{"--bench", "r.txt", "--escala", "0x10"}, Bench {"r.txt", 1.0f}},
        {{"--bench", "r.txt", "--escala", "1e"}, Bench {"r.txt", 1.0f}},
        {{"--bench", "r.txt", "--escala", "."}, Bench {"r.txt", 1.0f}},
        {{"--bench", "r.txt", "--escala", "nan(1)"}, Bench {"r.txt", 1.0f}},
        {{"--bench", "r.txt", "--escala", "infinit"}, Bench {"r.txt", 1.0f}},
        {{"--bench", "--escala", "2"}, Bench {"--escala", 2.0f}}, // the report is argument 1 anyway

        // Capture: the image, cfg from position 2 on, --dados.
        {{"--captura", "tela.png"}, Capture {"tela.png", 1.0f, false, std::nullopt}},
        {{"--captura", "tela.png", "CFG"}, Capture {"tela.png", 1.0f, true, std::nullopt}},
        {{"--captura", "cfg", "tela.png"}, Capture {"cfg", 1.0f, false, std::nullopt}},
        {{"--captura", "tela.png", "cfg=1"}, Capture {"tela.png", 1.0f, false, std::nullopt}},
        {{"--captura", "tela.png", "--dados", "dados.json", "--escala", "1.25"},
         Capture {"tela.png", 1.25f, false, "dados.json"}},
        {{"--captura", "tela.png", "--dados"}, Capture {"tela.png", 1.0f, false, std::nullopt}},
        {{"--captura", "tela.png", "--DADOS", "a.json", "--dados", "b.json"}, Capture {"tela.png", 1.0f, false, "a.json"}},
        {{"--captura", "--dados", "a.json"}, Capture {"--dados", 1.0f, false, "a.json"}},
        {{"--captura", "tela.png", "--dados", "cfg"}, Capture {"tela.png", 1.0f, true, "cfg"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(choose_mode(c.arguments), c.expected) << describe(c.arguments);
}

} // namespace
} // namespace torvane
