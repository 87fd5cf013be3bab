// The loopback launcher as the end-to-end tests place it in a game folder, and the test CA that it
// trusts.
#pragma once

#include "support/tls_test_server.hpp"
#include "update/self_update.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace torvane::test {

// Copies build/e2e/torvane to the path. A sanitizer build of it is larger than the largest launcher
// the service may publish, and the self-update tests publish this very file, so such a copy loses
// its debug sections.
inline void copy_test_launcher(const std::filesystem::path& to)
{
    std::filesystem::copy_file(TORVANE_E2E_LAUNCHER, to, std::filesystem::copy_options::overwrite_existing);
    if (std::filesystem::file_size(to) > launcher_max_size) {
        EXPECT_EQ(std::system(("objcopy --strip-debug '" + to.string() + "'").c_str()), 0);
    }
}

// The test CA of this build folder, compiled into build/e2e/torvane as its one extra root.
inline const TestCa& e2e_test_ca()
{
    static const TestCa ca = read_test_ca(TORVANE_E2E_CA, TORVANE_E2E_CA_KEY);
    return ca;
}

// A server certificate that build/e2e/torvane trusts (for the names and validity given).
inline TestCertificates e2e_server_certificates(const char* names = loopback_certificate_names,
                                                CertificateValidity validity = CertificateValidity::Current)
{
    return issue_server_certificate(e2e_test_ca(), names, validity);
}

} // namespace torvane::test
