// Links every cross-built library of the Windows prefix and uses each once, under GoogleTest.
// Winsock before windows.h, which cairo-win32.h brings in.
#include <curl/curl.h>
#include <httplib.h>

#include <cairo-win32.h>
#include <cairo.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <harfbuzz/hb.h>
#include <nlohmann/json.hpp>
#include <openssl/evp.h>
#include <openssl/ssl.h>
#include <png.h>
#include <webp/decode.h>
#include <webp/encode.h>
#include <zlib.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string g_font_path;
std::string g_tmp_dir = ".";
std::string g_https_url;
std::string g_ca_file;

TEST(Prefix, CairoDrawsAndWritesPngThatLibpngReads) {
  cairo_surface_t* surface = cairo_image_surface_create(CAIRO_FORMAT_ARGB32, 16, 8);
  cairo_t* cr = cairo_create(surface);
  cairo_set_source_rgba(cr, 1.0, 0.0, 0.0, 1.0);
  cairo_rectangle(cr, 0, 0, 8, 8);
  cairo_fill(cr);
  cairo_destroy(cr);
  cairo_surface_flush(surface);
  auto* px = reinterpret_cast<const std::uint32_t*>(cairo_image_surface_get_data(surface));
  EXPECT_EQ(px[0], 0xffff0000u);
  EXPECT_EQ(px[15], 0u);
  const std::string path = g_tmp_dir + "/check.png";
  ASSERT_EQ(cairo_surface_write_to_png(surface, path.c_str()), CAIRO_STATUS_SUCCESS);
  cairo_surface_destroy(surface);

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
  EXPECT_EQ(image.width, 16u);
  EXPECT_EQ(image.height, 8u);
  image.format = PNG_FORMAT_RGBA;
  std::vector<unsigned char> rgba(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr));
  EXPECT_THAT(std::vector<unsigned char>(rgba.begin(), rgba.begin() + 4), ::testing::ElementsAre(255, 0, 0, 255));
}

TEST(Prefix, CairoWin32SurfaceOverADib) {
  cairo_surface_t* surface = cairo_win32_surface_create_with_dib(CAIRO_FORMAT_ARGB32, 32, 32);
  ASSERT_EQ(cairo_surface_status(surface), CAIRO_STATUS_SUCCESS);
  EXPECT_NE(cairo_win32_surface_get_dc(surface), nullptr);
  cairo_surface_destroy(surface);
}

TEST(Prefix, HarfBuzzShapesWithAFontFile) {
  ASSERT_FALSE(g_font_path.empty()) << "pass --font=<ttf>";
  hb_blob_t* blob = hb_blob_create_from_file_or_fail(g_font_path.c_str());
  ASSERT_NE(blob, nullptr);
  hb_face_t* face = hb_face_create(blob, 0);
  hb_font_t* font = hb_font_create(face);
  hb_buffer_t* buf = hb_buffer_create();
  hb_buffer_add_utf8(buf, "Jogar", -1, 0, -1);
  hb_buffer_guess_segment_properties(buf);
  hb_shape(font, buf, nullptr, 0);
  unsigned int count = 0;
  hb_glyph_info_t* info = hb_buffer_get_glyph_infos(buf, &count);
  EXPECT_EQ(count, 5u);
  for (unsigned int i = 0; i < count; ++i) EXPECT_NE(info[i].codepoint, 0u);
  hb_buffer_destroy(buf);
  hb_font_destroy(font);
  hb_face_destroy(face);
  hb_blob_destroy(blob);
}

TEST(Prefix, WebpRoundTrip) {
  std::array<std::uint8_t, 4 * 4 * 4> rgba{};
  for (std::size_t i = 0; i < rgba.size(); i += 4) rgba[i] = 200, rgba[i + 3] = 255;
  std::uint8_t* out = nullptr;
  const std::size_t size = WebPEncodeLosslessRGBA(rgba.data(), 4, 4, 16, &out);
  ASSERT_GT(size, 0u);
  int w = 0, h = 0;
  std::uint8_t* back = WebPDecodeRGBA(out, size, &w, &h);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(w, 4);
  EXPECT_EQ(std::vector<std::uint8_t>(back, back + 16 * 4), std::vector<std::uint8_t>(rgba.begin(), rgba.end()));
  WebPFree(back);
  WebPFree(out);
}

TEST(Prefix, OpenSslSha256AndZlib) {
  std::array<unsigned char, 32> digest{};
  unsigned int len = 0;
  ASSERT_EQ(EVP_Digest("abc", 3, digest.data(), &len, EVP_sha256(), nullptr), 1);
  EXPECT_EQ(len, 32u);
  EXPECT_EQ(digest[0], 0xba);
  EXPECT_EQ(digest[31], 0xad);
  EXPECT_STREQ(zlibVersion(), ZLIB_VERSION);
  SSL_CTX* ctx = SSL_CTX_new(TLS_client_method());
  ASSERT_NE(ctx, nullptr);
  SSL_CTX_free(ctx);
}

TEST(Prefix, JsonOrderedDump) {
  nlohmann::ordered_json j = nlohmann::ordered_json::parse(R"({"b":1,"a":[true,null]})");
  EXPECT_EQ(j.dump(), R"({"b":1,"a":[true,null]})");
}

TEST(Prefix, HttplibServerAndCurlClientOnLoopback) {
  httplib::Server server;
  server.Get("/hello", [](const httplib::Request&, httplib::Response& res) { res.set_content("ola", "text/plain"); });
  const int port = server.bind_to_any_port("127.0.0.1");
  ASSERT_GT(port, 0);
  std::thread thread([&] { server.listen_after_bind(); });
  while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(5));

  httplib::Client client("127.0.0.1", port);
  auto res = client.Get("/hello");
  ASSERT_TRUE(res);
  EXPECT_EQ(res->body, "ola");

  CURL* curl = curl_easy_init();
  ASSERT_NE(curl, nullptr);
  std::string body;
  const std::string url = "http://127.0.0.1:" + std::to_string(port) + "/hello";
  curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, +[](char* p, size_t s, size_t n, void* u) {
    static_cast<std::string*>(u)->append(p, s * n);
    return s * n;
  });
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
  EXPECT_EQ(curl_easy_perform(curl), CURLE_OK);
  EXPECT_EQ(body, "ola");
  curl_easy_cleanup(curl);
  server.stop();
  thread.join();
}

TEST(Prefix, CurlTlsWithGivenRootAndNativeStore) {
  const curl_version_info_data* info = curl_version_info(CURLVERSION_NOW);
  EXPECT_STREQ(info->version, "7.88.1");
  EXPECT_NE(std::string(info->ssl_version).find("OpenSSL/3."), std::string::npos);
  EXPECT_TRUE(info->features & CURL_VERSION_LIBZ);
  if (g_https_url.empty()) GTEST_SKIP() << "pass --https=<url> --ca=<pem>";

  struct Case { bool with_root; CURLcode expected; };
  for (Case c : {Case{true, CURLE_OK}, Case{false, CURLE_PEER_FAILED_VERIFICATION}}) {
    CURL* curl = curl_easy_init();
    std::string body;
    curl_easy_setopt(curl, CURLOPT_URL, g_https_url.c_str());
    curl_easy_setopt(curl, CURLOPT_SSL_OPTIONS, long{CURLSSLOPT_NATIVE_CA});
    if (c.with_root) curl_easy_setopt(curl, CURLOPT_CAINFO, g_ca_file.c_str());
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, +[](char* p, size_t s, size_t n, void* u) {
      static_cast<std::string*>(u)->append(p, s * n);
      return s * n;
    });
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &body);
    EXPECT_EQ(curl_easy_perform(curl), c.expected) << "with root: " << c.with_root;
    if (c.with_root) {
      EXPECT_THAT(body, ::testing::HasSubstr("ola"));
    }
    curl_easy_cleanup(curl);
  }
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleMock(&argc, argv);
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a.rfind("--font=", 0) == 0) g_font_path = a.substr(7);
    if (a.rfind("--tmp=", 0) == 0) g_tmp_dir = a.substr(6);
    if (a.rfind("--https=", 0) == 0) g_https_url = a.substr(8);
    if (a.rfind("--ca=", 0) == 0) g_ca_file = a.substr(5);
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  const int rc = RUN_ALL_TESTS();
  curl_global_cleanup();
  return rc;
}
