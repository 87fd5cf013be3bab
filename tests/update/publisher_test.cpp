#include "platform/files.hpp"
#include "publisher.hpp"
#include "release_keys.hpp"
#include "support/sample_client.hpp"
#include "support/temp_dir.hpp"
#include "update/asset_index.hpp"
#include "update/digest.hpp"
#include "update/path_safety.hpp"
#include "update/signatures.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <optional>

namespace torvane {
namespace {

namespace fs = std::filesystem;

class Publisher : public testing::Test {
protected:
    void SetUp() override
    {
        client = dir.path() / "client";
        service = dir.path() / "service";
        test::write_sample_client(client, {.asset_blobs = 3});
    }
    Result<publisher::PublishedRelease> publish()
    {
        return publisher::publish_release(client, test::dev_signer(), service);
    }
    test::TempDir dir;
    fs::path client, service;
};

TEST_F(Publisher, WritesASignedReleaseTree)
{
    auto published = publish();
    ASSERT_TRUE(published) << published.error();
    EXPECT_EQ(published->list_file, service / "client" / "current.pmx");
    EXPECT_EQ(published->release_folder, service / "client" / "releases" / published->release_id);
    EXPECT_EQ(*platform::read_file(published->list_file, platform::document_read_limit), published->list_bytes);

    auto list = parse_release_list(published->list_bytes, test::dev_public_key());
    ASSERT_TRUE(list) << list.error();
    EXPECT_EQ(list->release_id, published->release_id);
    EXPECT_EQ(list->entries.size(), 11u + 4u + 3u);
    for (const ReleaseEntry& entry : list->entries) {
        fs::path file = push_relative_path(published->release_folder, entry.path);
        EXPECT_EQ(fs::file_size(file), entry.size) << entry.path;
        EXPECT_EQ(sha256_file_hex(file), entry.sha256) << entry.path;
    }
    // Every file of the release is listed, and nothing else is there.
    std::size_t files = 0;
    for (const auto& item : fs::recursive_directory_iterator(service))
        files += item.is_regular_file();
    EXPECT_EQ(files, list->entries.size() + 1);

    EXPECT_TRUE(verify_client_signature(published->release_folder / "Main.exe", test::dev_public_key()));
    auto id = read_asset_index_header(published->release_folder);
    ASSERT_TRUE(id) << id.error();
    EXPECT_EQ(hex_lower(*id), published->release_id);
    // Only the id in the header changed; the index itself is carried over.
    std::string original = *platform::read_file(client / "Assets" / "assets.idx", platform::document_read_limit);
    std::string stamped = *platform::read_file(published->release_folder / "Assets" / "assets.idx", platform::document_read_limit);
    EXPECT_EQ(stamped.substr(0, 8), original.substr(0, 8));
    EXPECT_EQ(stamped.substr(24), original.substr(24));
    // The index signature covers the stamped index.
    std::string index_signature = *platform::read_file(published->release_folder / "Assets" / "assets.idx.sig", platform::document_read_limit);
    EXPECT_TRUE(test::dev_public_key().verify_sha256(
        sha256_bytes(stamped), std::span<const std::uint8_t, 256>(
                                   reinterpret_cast<const std::uint8_t*>(index_signature.data()), 256)));
}

TEST_F(Publisher, ANewReleaseKeepsTheOldOneAndTakesOverTheList)
{
    auto first = publish();
    ASSERT_TRUE(first) << first.error();
    test::write_sample_client(client, {.asset_blobs = 3, .main_exe = "MZ newer client"});
    auto second = publish();
    ASSERT_TRUE(second) << second.error();
    EXPECT_NE(first->release_id, second->release_id);
    EXPECT_TRUE(fs::exists(first->release_folder / "Main.exe"));
    EXPECT_EQ(*platform::read_file(service / "client" / "current.pmx", platform::document_read_limit), second->list_bytes);
    EXPECT_EQ(*platform::read_file(second->release_folder / "Main.exe", platform::document_read_limit), "MZ newer client");
}

TEST_F(Publisher, SignaturesInTheClientFolderAreMadeAnew)
{
    dir.write("client/Main.exe.sig", std::string(256, 'z'));
    auto published = publish();
    ASSERT_TRUE(published) << published.error();
    EXPECT_TRUE(verify_client_signature(published->release_folder / "Main.exe", test::dev_public_key()));
}

TEST_F(Publisher, RefusesAClientThatNoReleaseCanCarry)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::string message;
    };
    const Case cases[] = {
        {"missing core files",
         [&] {
             fs::remove(client / "qyAudio.dll");
             fs::remove(client / "Assets" / "AGENTS.md");
         },
         "faltam no cliente arquivos que toda versão precisa: qyAudio.dll, Assets/AGENTS.md"},
        {"missing user file", [&] { fs::remove(client / "Data" / "Macro.txt"); },
         "faltam no cliente arquivos que toda versão precisa: Data/Macro.txt"},
        {"no asset blob",
         [&] {
             for (const auto& item : fs::directory_iterator(client / "Assets"))
                 if (item.path().extension() == ".pmk")
                     fs::remove(item.path());
         },
         "o cliente não tem nenhum arquivo de conteúdo (Assets/<sha256>.pmk)."},
        {"a file no release may carry", [&] { dir.write("client/Data/extra.dll", "x"); },
         "arquivo que não pode fazer parte de uma versão: Data/extra.dll (só arquivos do cliente, arquivos do "
         "jogador e Assets/<sha256>.pmk)"},
        {"a symbolic link", [&] { fs::create_symlink("/etc/hostname", client / "Data" / "link"); },
         "o cliente contém um link simbólico, que uma versão não pode levar: Data/link"},
        {"two names in different case", [&] { dir.write("client/main.exe", "x"); },
         "o cliente tem dois arquivos que só diferem em maiúsculas: main.exe"},
        {"index without its header", [&] { dir.write("client/Assets/assets.idx", "PXIDX001 short"); },
         "Assets/assets.idx não começa com o cabeçalho \"PXIDX001\" de 24 bytes."},
        {"no client folder", [&] { fs::remove_all(client); },
         "a pasta do cliente não existe: " + client.string()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(client);
        fs::remove_all(service);
        test::write_sample_client(client, {.asset_blobs = 3});
        c.arrange();
        auto published = publish();
        ASSERT_FALSE(published);
        EXPECT_EQ(published.error(), c.message);
        // Nothing is published, and no half release is left.
        EXPECT_FALSE(fs::exists(service / "client" / "current.pmx"));
        EXPECT_TRUE(!fs::exists(service / "client" / "releases") ||
                    fs::is_empty(service / "client" / "releases"));
    }
}

TEST_F(Publisher, EntriesDescribeTheBytesCopiedEvenWhenAFileChangedAfterTheScan)
{
    auto files = publisher::scan_client(client);
    ASSERT_TRUE(files) << files.error();
    struct Change {
        std::string path;
        std::string content;
    };
    // A file that grew and one that shrank between the scan and the copy.
    const Change changes[] = {
        {"Data/Macro.txt", std::string(70'000, 'g')},
        {"Main.exe", "short"},
    };
    for (const Change& change : changes) {
        ASSERT_TRUE(fs::exists(push_relative_path(client, change.path))) << change.path;
        ASSERT_TRUE(platform::write_file(push_relative_path(client, change.path), change.content));
    }
    auto published = publisher::publish_scanned(client, *files, test::dev_signer(), service);
    ASSERT_TRUE(published) << published.error();
    for (const ReleaseEntry& entry : published->list.entries) {
        fs::path file = push_relative_path(published->release_folder, entry.path);
        EXPECT_EQ(fs::file_size(file), entry.size) << entry.path;
        EXPECT_EQ(sha256_file_hex(file), entry.sha256) << entry.path;
    }
    for (const Change& change : changes)
        EXPECT_EQ(*platform::read_file(push_relative_path(published->release_folder, change.path), platform::document_read_limit), change.content);
}

TEST(ReleaseSigner, ExportsTheBlobTheBuildEmbeds)
{
    auto blob = test::dev_signer().public_key_blob();
    std::string fixture = *platform::read_file(test::source_dir() / "tests/fixtures/dev-release-key.blob", platform::document_read_limit);
    EXPECT_EQ(std::string(blob.begin(), blob.end()), fixture);
    EXPECT_TRUE(platform::RsaPublicKey::from_public_key_blob(blob));
}

TEST(ReleaseSigner, RefusesKeysThatAreNotPrivateRsa2048)
{
    EXPECT_EQ(publisher::ReleaseSigner::from_pem("not a key").error(),
              "a chave privada não é um PEM legível.");
    std::string blob = *platform::read_file(test::source_dir() / "tests/fixtures/dev-release-key.blob", platform::document_read_limit);
    EXPECT_FALSE(publisher::ReleaseSigner::from_pem(blob));
}

// The development key written again under a password with the openssl command.
fs::path encrypted_dev_key(const test::TempDir& dir, const std::string& password)
{
    fs::path encrypted = dir.path() / "encrypted.pem";
    std::string command = "openssl pkey -in '" + test::dev_key_path().string() + "' -aes256 -passout pass:" + password +
                          " -out '" + encrypted.string() + "'";
    EXPECT_EQ(std::system(command.c_str()), 0);
    return encrypted;
}

TEST(ReleaseSigner, KeyWithAPasswordOpensOnlyWithThatPassword)
{
    test::TempDir dir;
    fs::path encrypted = encrypted_dev_key(dir, "segredo");
    auto dev_blob = test::dev_signer().public_key_blob();
    struct Case {
        const char* name;
        fs::path key;
        std::optional<std::string> password;
        std::string error; // empty: the key opens
    };
    const Case cases[] = {
        {"encrypted, no password", encrypted, std::nullopt,
         "a chave privada está protegida por senha: informe a senha com --senha-arquivo <arquivo>."},
        {"encrypted, the password", encrypted, "segredo", ""},
        {"encrypted, another password", encrypted, "outra", "a senha não abre a chave privada."},
        {"encrypted, empty password", encrypted, "", "a senha não abre a chave privada."},
        {"plain, a password given anyway", test::dev_key_path(), "segredo", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto signer = publisher::ReleaseSigner::load(c.key, c.password);
        if (c.error.empty()) {
            ASSERT_TRUE(signer) << signer.error();
            EXPECT_EQ(signer->public_key_blob(), dev_blob);
        } else {
            EXPECT_EQ(signer.error(), c.error);
        }
    }
}

TEST(PublishCommand, PublishesExportsAndReportsErrors)
{
    test::TempDir dir;
    test::write_sample_client(dir.path() / "client");
    auto run = [&](const std::string& arguments) {
        std::string command = std::string(TORVANE_PUBLISH) + " " + arguments + " >" + (dir.path() / "out").string() +
                              " 2>" + (dir.path() / "err").string();
        int status = std::system(command.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    };
    const std::string key = test::dev_key_path().string();
    const std::string client = (dir.path() / "client").string();
    const std::string service = (dir.path() / "service").string();

    EXPECT_EQ(run("publicar --cliente " + client + " --chave " + key + " --saida " + service), 0);
    EXPECT_TRUE(parse_release_list(dir.read("service/client/current.pmx"), test::dev_public_key()));
    EXPECT_TRUE(dir.read("out").starts_with("versão "));

    EXPECT_EQ(run("exportar-chave --chave " + key + " --saida " + (dir.path() / "key.blob").string()), 0);
    EXPECT_EQ(dir.read("key.blob"), *platform::read_file(test::source_dir() / "tests/fixtures/dev-release-key.blob", platform::document_read_limit));

    fs::remove(dir.path() / "client" / "Main.exe");
    EXPECT_EQ(run("publicar --cliente " + client + " --chave " + key + " --saida " + service), 1);
    EXPECT_EQ(dir.read("err"), "torvane-publish: faltam no cliente arquivos que toda versão precisa: Main.exe\n");

    EXPECT_EQ(run("publicar --cliente " + client), 2);
    EXPECT_TRUE(dir.read("err").starts_with("uso:"));

    // A key under a password: refused with a message, never asked for on the terminal (stdin is
    // closed), and accepted with the password file.
    test::write_sample_client(dir.path() / "client");
    const std::string encrypted = encrypted_dev_key(dir, "segredo").string();
    const std::string password = dir.write("senha.txt", "segredo\n").string();
    EXPECT_EQ(run("exportar-chave --chave " + encrypted + " --saida " + (dir.path() / "k.blob").string() + " <&-"), 1);
    EXPECT_EQ(dir.read("err"), "torvane-publish: a chave privada está protegida por senha: informe a senha com "
                               "--senha-arquivo <arquivo>.\n");
    EXPECT_EQ(run("publicar --cliente " + client + " --chave " + encrypted + " --saida " + service +
                  " --senha-arquivo " + password),
              0);
    EXPECT_EQ(run("exportar-chave --chave " + encrypted + " --saida " + (dir.path() / "k.blob").string() +
                  " --senha-arquivo " + password),
              0);
    EXPECT_EQ(dir.read("k.blob"), dir.read("key.blob"));
    EXPECT_EQ(run("publicar --cliente " + client + " --chave " + key + " --saida " + service + " --senha-arquivo " +
                  (dir.path() / "missing").string()),
              1);
    EXPECT_TRUE(dir.read("err").starts_with("torvane-publish: não foi possível ler o arquivo de senha ")) << dir.read("err");
}

} // namespace
} // namespace torvane
