#include "support/tls_test_server.hpp"

#include <openssl/bn.h>
#include <openssl/ec.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace torvane::test {

namespace {

struct KeyDeleter {
    void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertificateDeleter {
    void operator()(X509* certificate) const { X509_free(certificate); }
};
struct BioDeleter {
    void operator()(BIO* bio) const { BIO_free(bio); }
};
using Key = std::unique_ptr<EVP_PKEY, KeyDeleter>;
using Certificate = std::unique_ptr<X509, CertificateDeleter>;
using Bio = std::unique_ptr<BIO, BioDeleter>;

void check(bool ok, const char* what)
{
    if (!ok)
        throw std::runtime_error(std::string("test certificates: ") + what);
}

void add_extension(X509* certificate, X509* issuer, int nid, const char* value)
{
    X509V3_CTX context;
    X509V3_set_ctx_nodb(&context);
    X509V3_set_ctx(&context, issuer, certificate, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &context, nid, value);
    check(extension != nullptr, "extension");
    X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
}

// issuer null: self-signed.
Certificate make_certificate(EVP_PKEY* key, const char* common_name, X509* issuer, EVP_PKEY* issuer_key,
                             const char* server_names = nullptr,
                             CertificateValidity validity = CertificateValidity::Current)
{
    Certificate certificate(X509_new());
    X509* c = certificate.get();
    X509_set_version(c, 2);
    // Random serial numbers: one CA issues many certificates, over many test runs.
    BIGNUM* serial = BN_new();
    check(serial && BN_rand(serial, 63, BN_RAND_TOP_ANY, BN_RAND_BOTTOM_ANY) == 1
              && BN_to_ASN1_INTEGER(serial, X509_get_serialNumber(c)) != nullptr,
          "serial number");
    BN_free(serial);
    const bool expired = validity == CertificateValidity::Expired;
    X509_gmtime_adj(X509_getm_notBefore(c), expired ? -3 * 86400 : -3600);
    X509_gmtime_adj(X509_getm_notAfter(c), expired ? -86400 : 2 * 86400);
    X509_set_pubkey(c, key);
    X509_NAME* name = X509_get_subject_name(c);
    X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("Torvane test"), -1, -1, 0);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(common_name), -1, -1, 0);
    X509_set_issuer_name(c, issuer ? X509_get_subject_name(issuer) : name);
    X509* signer = issuer ? issuer : c;
    if (!issuer) {
        add_extension(c, signer, NID_basic_constraints, "critical,CA:TRUE");
        add_extension(c, signer, NID_key_usage, "critical,keyCertSign,cRLSign");
        add_extension(c, signer, NID_subject_key_identifier, "hash");
    } else {
        add_extension(c, signer, NID_basic_constraints, "critical,CA:FALSE");
        add_extension(c, signer, NID_key_usage, "critical,digitalSignature");
        add_extension(c, signer, NID_ext_key_usage, "serverAuth");
        add_extension(c, signer, NID_subject_alt_name, server_names);
        add_extension(c, signer, NID_authority_key_identifier, "keyid");
    }
    check(X509_sign(c, issuer_key ? issuer_key : key, EVP_sha256()) > 0, "sign");
    return certificate;
}

std::string bio_text(BIO* bio)
{
    char* data = nullptr;
    long length = BIO_get_mem_data(bio, &data);
    return std::string(data, static_cast<std::size_t>(length));
}

std::string certificate_pem(X509* certificate)
{
    Bio bio(BIO_new(BIO_s_mem()));
    check(PEM_write_bio_X509(bio.get(), certificate) == 1, "write certificate");
    return bio_text(bio.get());
}

std::string key_pem(EVP_PKEY* key)
{
    Bio bio(BIO_new(BIO_s_mem()));
    check(PEM_write_bio_PrivateKey(bio.get(), key, nullptr, nullptr, 0, nullptr, nullptr) == 1, "write key");
    return bio_text(bio.get());
}

Certificate read_certificate(const std::string& pem)
{
    Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    Certificate certificate(PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr));
    check(certificate != nullptr, "read certificate");
    return certificate;
}

Key read_key(const std::string& pem)
{
    Bio bio(BIO_new_mem_buf(pem.data(), static_cast<int>(pem.size())));
    Key key(PEM_read_bio_PrivateKey(bio.get(), nullptr, nullptr, nullptr));
    check(key != nullptr, "read key");
    return key;
}

std::string read_text(const std::filesystem::path& path)
{
    std::ifstream in(path, std::ios::binary);
    check(in.good(), "open a CA file");
    return std::string(std::istreambuf_iterator<char>(in), {});
}

} // namespace

TestCa make_test_ca()
{
    Key key(EVP_EC_gen("P-256"));
    check(key != nullptr, "CA key");
    Certificate ca = make_certificate(key.get(), "Torvane test CA", nullptr, nullptr);
    return {certificate_pem(ca.get()), key_pem(key.get())};
}

TestCa read_test_ca(const std::filesystem::path& certificate, const std::filesystem::path& key)
{
    return {read_text(certificate), read_text(key)};
}

TestCertificates issue_server_certificate(const TestCa& ca, const char* server_names, CertificateValidity validity)
{
    Certificate issuer = read_certificate(ca.certificate_pem);
    Key issuer_key = read_key(ca.key_pem);
    Key server_key(EVP_EC_gen("P-256"));
    check(server_key != nullptr, "server key");
    Certificate server = make_certificate(server_key.get(), "127.0.0.1", issuer.get(), issuer_key.get(), server_names, validity);
    return {ca.certificate_pem, certificate_pem(server.get()), key_pem(server_key.get())};
}

TestCertificates make_test_certificates(const char* server_names)
{
    return issue_server_certificate(make_test_ca(), server_names);
}

TlsTestServer::TlsTestServer(TestCertificates certificates, SentChain sent) : certificates_(std::move(certificates))
{
    Certificate certificate = read_certificate(certificates_.server_certificate_pem);
    Key key = read_key(certificates_.server_key_pem);
    // The server's context takes its own references to both.
    server_ = std::make_unique<httplib::SSLServer>(certificate.get(), key.get());
    check(server_->is_valid(), "server context");
    if (sent == SentChain::WithCa)
        check(SSL_CTX_add1_chain_cert(server_->ssl_context(), read_certificate(certificates_.ca_pem).get()) == 1, "chain");
    // Enough handler threads for a dozen clients plus handlers that hold a response back.
    server_->new_task_queue = [] { return new httplib::ThreadPool(32); };
}

TlsTestServer::~TlsTestServer()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    stop_signal_.notify_all();
    server_->stop();
    if (thread_.joinable())
        thread_.join();
}

void TlsTestServer::start()
{
    port_ = server_->bind_to_any_port("127.0.0.1");
    check(port_ > 0, "bind");
    // The socket listens from here on: connections wait in its backlog until the thread accepts.
    thread_ = std::thread([this] { server_->listen_after_bind(); });
    // stop() only reaches a server that runs: wait for it (bounded), so that stopping never races
    // with the start and leaves the thread blocked in accept.
    for (int i = 0; i < 5000 && !server_->is_running(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    check(server_->is_running(), "start");
}

std::string TlsTestServer::url(std::string_view path) const
{
    return "https://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::string TlsTestServer::localhost_url(std::string_view path) const
{
    return "https://localhost:" + std::to_string(port_) + std::string(path);
}

void TlsTestServer::wait_for_stop(std::chrono::milliseconds limit)
{
    std::unique_lock lock(mutex_);
    stop_signal_.wait_for(lock, limit, [this] { return stopping_; });
}

} // namespace torvane::test
