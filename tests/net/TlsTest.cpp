// HTTPS answers are accepted only from servers whose certificate the system trusts.
#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>

#include <cstdlib>
#include <thread>

#include "net/HttpExchange.h"
#include "net/ServiceEndpoints.h"
#include "platform/Numbers.h"

using platform::cformat;

namespace {
// A self-signed certificate for 127.0.0.1, trusted by nobody.
struct SelfSigned {
    EVP_PKEY* key = EVP_EC_gen("P-256");
    X509* cert = X509_new();
    SelfSigned() {
        ASN1_INTEGER_set(X509_get_serialNumber(cert), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert), 0);
        X509_gmtime_adj(X509_getm_notAfter(cert), 3600);
        X509_set_pubkey(cert, key);
        X509_NAME* name = X509_get_subject_name(cert);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>("127.0.0.1"), -1,
                                   -1, 0);
        X509_set_issuer_name(cert, name);
        X509_EXTENSION* san = X509V3_EXT_conf_nid(nullptr, nullptr, NID_subject_alt_name, "IP:127.0.0.1");
        X509_add_ext(cert, san, -1);
        X509_EXTENSION_free(san);
        X509_sign(cert, key, EVP_sha256());
    }
    ~SelfSigned() {
        X509_free(cert);
        EVP_PKEY_free(key);
    }
};
}  // namespace

TEST(Tls, UntrustedCertificateIsRefused) {
    unsetenv(net::kServicesRoutingVariable);
    SelfSigned identity;
    httplib::SSLServer server(identity.cert, identity.key);
    ASSERT_TRUE(server.is_valid());
    server.Get("/x", [](const httplib::Request&, httplib::Response& res) { res.set_content("secret", "text/plain"); });
    const int port = server.bind_to_any_port("127.0.0.1");
    ASSERT_GT(port, 0);
    std::thread loop([&] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));

    // The server itself works for a client that skips verification...
    httplib::SSLClient lax("127.0.0.1", port);
    lax.enable_server_certificate_verification(false);
    const auto answer = lax.Get("/x");
    ASSERT_TRUE(answer);
    EXPECT_EQ(answer->body, "secret");
    // ...but the add-on's client never accepts it.
    const net::HttpResult r =
        net::performRequest("GET", "https://127.0.0.1:" + cformat("%d", port) + "/x", {}, {}, 3000, 3000, "t");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.body, "");
    EXPECT_EQ(r.error, "Wyslanie zapytania nieudane (timeout?)");
    server.stop();
    loop.join();
}
