#include "release_keys.hpp"
#include "update/digest.hpp"
#include "update/path_safety.hpp"
#include "update/release_list.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace torvane {
namespace {

using test::blob_hex;
using test::dev_signed;
using test::sample_release_list;

constexpr char signature_message[] = "a lista de atualização não tem uma assinatura válida.";
constexpr char invalid_message[] = "lista de atualização inválida.";
constexpr char entry_message[] = "entrada inválida na lista de atualização.";
constexpr char incomplete_message[] = "lista de atualização incompleta.";

const std::string hash64 = std::string(64, 'c');

std::string text_of(const ReleaseList& list) { return release_list_text(list); }

// The sample list's text with one more entry line written as given.
std::string with_line(const std::string& line)
{
    return text_of(sample_release_list()) + line + "\n";
}

ReleaseList with_blobs(std::size_t count) { return sample_release_list(count); }

// A list with every core and user file except one, and two asset blobs.
ReleaseList without(std::string_view path)
{
    ReleaseList list = sample_release_list(2);
    std::erase_if(list.entries, [&](const ReleaseEntry& e) { return e.path == path; });
    return list;
}

// A signed file of exactly `total` bytes that is a valid list: the first entry's size is padded
// with leading zeros.
std::string valid_file_of_size(std::size_t total)
{
    ReleaseList list = sample_release_list();
    std::string text = text_of(list);
    std::size_t padding = total - release_signature_size - text.size();
    std::size_t at = text.find('\n', text.find('\n') + 1) + 1; // the first entry line
    text.insert(at, std::string(padding, '0'));
    return dev_signed(text);
}

std::string flip_byte(std::string file, std::size_t at)
{
    file[at] = static_cast<char>(file[at] ^ 0x01);
    return file;
}

struct Case {
    const char* name;
    std::function<std::string()> file;
    const char* message; // nullptr: accepted
};

const Case cases[] = {
    // Size and signature.
    {"335 bytes", [] { return std::string(335, 'x'); }, signature_message},
    {"336 bytes unsigned", [] { return std::string(336, 'x'); }, signature_message},
    {"336 bytes signed gets past the signature", [] { return dev_signed(std::string(79, 'x') + "\n"); }, invalid_message},
    {"5,242,880 bytes", [] { return valid_file_of_size(5'242'880); }, nullptr},
    {"5,242,881 bytes", [] { return valid_file_of_size(5'242'881); }, signature_message},
    {"one text byte changed", [] { return flip_byte(dev_signed(text_of(with_blobs(3))), 40); }, signature_message},
    {"one signature byte changed",
     [] {
         std::string file = dev_signed(text_of(with_blobs(3)));
         return flip_byte(file, file.size() - 100);
     },
     signature_message},
    {"signature least significant byte first",
     [] {
         std::string file = dev_signed(text_of(with_blobs(3)));
         std::reverse(file.end() - 256, file.end());
         return file;
     },
     signature_message},
    {"signed by another key",
     [] {
         std::string text = text_of(with_blobs(3));
         return text + *test::foreign_signer().sign(text);
     },
     signature_message},
    // Text and lines.
    {"byte 0x80", [] { return dev_signed(with_line("1 " + hash64 + " Assets/\x80.pmk")); }, invalid_message},
    {"CRLF line ends",
     [] {
         std::string text = text_of(with_blobs(2));
         std::string crlf;
         for (char c : text)
             crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
         return dev_signed(crlf);
     },
     invalid_message},
    {"wrong magic", [] { return dev_signed("PXWEB002" + text_of(with_blobs(2)).substr(8)); }, invalid_message},
    {"release id in upper case",
     [] { return dev_signed(text_of(sample_release_list(2, std::string(32, 'A')))); }, invalid_message},
    {"release id of 31 digits", [] { return dev_signed(text_of(sample_release_list(2, std::string(31, 'a')))); },
     invalid_message},
    {"no final line feed",
     [] {
         std::string text = text_of(with_blobs(2));
         text.pop_back();
         return dev_signed(text);
     },
     invalid_message},
    {"fewer than 18 pieces",
     [] {
         ReleaseList list = sample_release_list(0);
         list.entries.pop_back();
         return dev_signed(text_of(list));
     },
     invalid_message},
    // Entry lines.
    {"duplicate path in other case", [] { return dev_signed(with_line("5 " + hash64 + " main.exe")); }, entry_message},
    {"upper-case hex in a blob name",
     [] { return dev_signed(with_line("5 " + hash64 + " Assets/" + std::string(64, 'A') + ".pmk")); }, entry_message},
    {"blob name with lower-case folder",
     [] { return dev_signed(with_line("5 " + hash64 + " assets/" + blob_hex(7) + ".pmk")); }, entry_message},
    {"assets/main.exe", [] { return dev_signed(with_line("5 " + hash64 + " assets/main.exe")); }, entry_message},
    {"user file with a backslash", [] { return dev_signed(with_line("5 " + hash64 + " Data\\Macro.txt")); }, entry_message},
    {"size 71,303,168", [] { return dev_signed(with_line("71303168 " + hash64 + " Assets/" + blob_hex(9) + ".pmk")); },
     nullptr},
    {"size 71,303,169", [] { return dev_signed(with_line("71303169 " + hash64 + " Assets/" + blob_hex(9) + ".pmk")); },
     entry_message},
    {"size +5", [] { return dev_signed(with_line("+5 " + hash64 + " Assets/" + blob_hex(9) + ".pmk")); }, entry_message},
    {"empty size", [] { return dev_signed(with_line(" " + hash64 + " Assets/" + blob_hex(9) + ".pmk")); }, entry_message},
    {"size beyond 64 bits",
     [] { return dev_signed(with_line("18446744073709551616 " + hash64 + " Assets/" + blob_hex(9) + ".pmk")); },
     entry_message},
    {"doubled blank", [] { return dev_signed(with_line("5  " + hash64 + " Assets/" + blob_hex(9) + ".pmk")); },
     entry_message},
    {"trailing blank", [] { return dev_signed(with_line("5 " + hash64 + " Assets/" + blob_hex(9) + ".pmk ")); },
     entry_message},
    {"digest in upper case",
     [] { return dev_signed(with_line("5 " + std::string(64, 'C') + " Assets/" + blob_hex(9) + ".pmk")); },
     entry_message},
    {"digest of 63 digits",
     [] { return dev_signed(with_line("5 " + std::string(63, 'c') + " Assets/" + blob_hex(9) + ".pmk")); },
     entry_message},
    {"empty line", [] { return dev_signed(with_line("")); }, entry_message},
    // Completeness.
    {"missing core file", [] { return dev_signed(text_of(without("qyAudio.dll"))); }, incomplete_message},
    {"missing user file", [] { return dev_signed(text_of(without("Data/Resolutions.xml"))); }, incomplete_message},
    {"no asset blob", [] { return dev_signed(text_of(with_blobs(0))); }, incomplete_message},
    {"30,000 entries", [] { return dev_signed(text_of(with_blobs(30'000 - 15))); }, nullptr},
    {"30,001 entries", [] { return dev_signed(text_of(with_blobs(30'001 - 15))); }, incomplete_message},
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

class ReleaseListCase : public testing::TestWithParam<Case> {};

TEST_P(ReleaseListCase, GivesItsMessage)
{
    const Case& c = GetParam();
    auto list = parse_release_list(c.file(), test::dev_public_key());
    if (c.message) {
        ASSERT_FALSE(list) << "accepted";
        EXPECT_EQ(list.error(), c.message);
    } else {
        EXPECT_TRUE(list) << list.error();
    }
}

INSTANTIATE_TEST_SUITE_P(CraftedFiles, ReleaseListCase, testing::ValuesIn(cases), [](const auto& info) {
    std::string name;
    for (const char* p = info.param.name; *p; ++p)
        name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
    return name;
});

TEST(ReleaseList, KeepsEntriesInFileOrderAsWritten)
{
    ReleaseList written = sample_release_list(3, "0123456789abcdef0123456789abcdef");
    std::swap(written.entries[0], written.entries[17]);
    written.entries[1].path = "main.exe.SIG"; // names are matched ignoring case, kept as written
    auto list = parse_release_list(dev_signed(text_of(written)), test::dev_public_key());
    ASSERT_TRUE(list) << list.error();
    EXPECT_EQ(*list, written);
}

TEST(ReleaseList, BuiltInKeyChecksTheSignature)
{
    SKIP_UNLESS_BUILT_WITH_DEV_KEY();
    std::string text = text_of(with_blobs(2));
    EXPECT_TRUE(parse_release_list(dev_signed(text)));
    EXPECT_EQ(parse_release_list(text + *test::foreign_signer().sign(text)).error(), signature_message);
}

TEST(ReleaseNames, TellCoreUserAndBlobFiles)
{
    struct NameCase {
        std::string path;
        bool core, user, blob;
    };
    const NameCase names[] = {
        {"Main.exe", true, false, false},
        {"MAIN.EXE", true, false, false},
        {"Assets/AGENTS.md", true, false, false},
        {"assets/assets.IDX.sig", true, false, false},
        {"Assets\\assets.idx", false, false, false},
        {"Main.exe ", false, false, false},
        {"Main.exe.", false, false, false},
        {"Data/Macro.txt.", false, false, false},
        {"Data/Custom /config.ini", false, false, false},
        {"Assets/" + blob_hex(1) + ".pmk.", false, false, false},
        {"Data/Custom/Config.INI", false, true, false},
        {"Data\\Macro.txt", false, false, false},
        {"Data/Custom//config.ini", false, false, false},
        {"Assets/" + blob_hex(1) + ".pmk", false, false, true},
        {"Assets/" + blob_hex(1) + ".PMK", false, false, false},
        {"assets/" + blob_hex(1) + ".pmk", false, false, false},
        {"Assets/" + blob_hex(1).substr(1) + ".pmk", false, false, false},
        {"Assets/" + blob_hex(1) + "0.pmk", false, false, false},
        {"", false, false, false},
    };
    for (const NameCase& n : names) {
        EXPECT_EQ(is_core_release_file(n.path), n.core) << n.path;
        EXPECT_EQ(is_user_file(n.path), n.user) << n.path;
        EXPECT_EQ(is_asset_blob_name(n.path), n.blob) << n.path;
    }
}

// A list names only these fixed files and blob names, so a name that Windows maps elsewhere (a
// device name, a trailing dot or blank) can never pass its checks: none of them is one.
TEST(ReleaseNames, NoneIsANameWindowsMapsElsewhere)
{
    std::vector<std::string_view> names(core_release_files.begin(), core_release_files.end());
    names.insert(names.end(), user_files.begin(), user_files.end());
    const std::string blob = "Assets/" + blob_hex(1) + ".pmk";
    names.push_back(blob);
    for (std::string_view name : names) {
        for (std::string_view rest = name; !rest.empty();) {
            std::string_view component = rest.substr(0, rest.find('/'));
            EXPECT_FALSE(is_windows_redirected_name(component)) << name;
            rest.remove_prefix(std::min(rest.size(), component.size() + 1));
        }
    }
}

} // namespace
} // namespace torvane
