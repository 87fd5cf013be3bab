// torvane-publish: the operator's release publisher.
//
//   torvane-publish publicar --cliente <pasta> --chave <privada.pem> --saida <pasta> [--senha-arquivo <arquivo>]
//   torvane-publish exportar-chave --chave <privada.pem> --saida <arquivo.blob> [--senha-arquivo <arquivo>]
#include "publisher.hpp"

#include "platform/files.hpp"

#include <cstdio>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace {

using namespace torvane;

constexpr char usage[] =
    "uso:\n"
    "  torvane-publish publicar --cliente <pasta> --chave <privada.pem> --saida <pasta> [--senha-arquivo <arquivo>]\n"
    "      publica a pasta do cliente como nova versão em <saida>/client\n"
    "  torvane-publish exportar-chave --chave <privada.pem> --saida <arquivo.blob> [--senha-arquivo <arquivo>]\n"
    "      grava a chave pública de 276 bytes que o launcher embute (TORVANE_RELEASE_KEY_BLOB)\n"
    "  --senha-arquivo: a senha de uma chave privada protegida, na primeira linha do arquivo\n";

int fail(const std::string& message)
{
    std::fprintf(stderr, "torvane-publish: %s\n", message.c_str());
    return 1;
}

// The key of "--chave", opened with the password in the first line of "--senha-arquivo" if given.
Result<publisher::ReleaseSigner> load_signer(const std::map<std::string, std::string>& options)
{
    std::optional<std::string> password;
    if (auto file = options.find("--senha-arquivo"); file != options.end()) {
        auto text = platform::read_file(file->second, platform::document_read_limit);
        if (!text)
            return failure("não foi possível ler o arquivo de senha " + file->second + ": " + text.error());
        std::string_view line = *text;
        line = line.substr(0, line.find('\n'));
        if (line.ends_with('\r'))
            line.remove_suffix(1);
        password = std::string(line);
    }
    return publisher::ReleaseSigner::load(options.at("--chave"), password);
}

int publish(const std::map<std::string, std::string>& options)
{
    auto signer = load_signer(options);
    if (!signer)
        return fail(signer.error());
    auto published = publisher::publish_release(options.at("--cliente"), *signer, options.at("--saida"));
    if (!published)
        return fail(published.error());
    std::printf("versão %s publicada: %s (%zu arquivos)\n", published->release_id.c_str(),
                published->list_file.c_str(), published->list.entries.size());
    return 0;
}

int export_key(const std::map<std::string, std::string>& options)
{
    auto signer = load_signer(options);
    if (!signer)
        return fail(signer.error());
    auto blob = signer->public_key_blob();
    auto written = platform::write_file_atomic(
        options.at("--saida"), std::string_view(reinterpret_cast<const char*>(blob.data()), blob.size()));
    if (!written)
        return fail(options.at("--saida") + ": " + written.error());
    std::printf("chave pública gravada: %s (%zu bytes)\n", options.at("--saida").c_str(), blob.size());
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fputs(usage, stderr);
        return 2;
    }
    std::string_view command = argv[1];
    std::map<std::string, std::string> options;
    for (int i = 2; i < argc; i += 2) {
        if (i + 1 >= argc || std::string_view(argv[i]).substr(0, 2) != "--") {
            std::fputs(usage, stderr);
            return 2;
        }
        options[argv[i]] = argv[i + 1];
    }
    // The named options, and besides them at most the password file.
    auto has = [&](std::initializer_list<const char*> names) {
        for (const char* name : names) {
            if (!options.contains(name))
                return false;
        }
        return options.size() == names.size() + options.count("--senha-arquivo");
    };
    if (command == "publicar" && has({"--cliente", "--chave", "--saida"}))
        return publish(options);
    if (command == "exportar-chave" && has({"--chave", "--saida"}))
        return export_key(options);
    std::fputs(usage, stderr);
    return 2;
}
