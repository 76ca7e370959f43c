// The OpenSSL DLLs of the Windows build on their own, under Wine, against the mosquitto that
// tests/windows/with-broker runs on the Linux side (its variables name the broker and CAs):
// with the broker's CA, the TLS handshake verifies the server's certificate for "localhost"
// and the broker accepts an MQTT 3.1.1 CONNECT; with another CA, the handshake is refused.
//   mqtts_probe            (inside with-broker)
#include <winsock2.h>
#include <ws2tcpip.h>

#include <openssl/err.h>
#include <openssl/ssl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum class Outcome { Accepted, Refused, Failed };

std::string env(const char *name)
{
    const char *v = std::getenv(name);
    return v ? v : "";
}

std::string sslErrors()
{
    std::string out;
    char line[256];
    while (unsigned long e = ERR_get_error()) {
        ERR_error_string_n(e, line, sizeof line);
        out += out.empty() ? "" : "; ";
        out += line;
    }
    return out.empty() ? "no OpenSSL error" : out;
}

SOCKET connectLoopback(const std::string &port)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo *found = nullptr;
    if (getaddrinfo("127.0.0.1", port.c_str(), &hints, &found) != 0)
        return INVALID_SOCKET;
    SOCKET s = socket(found->ai_family, found->ai_socktype, found->ai_protocol);
    if (s != INVALID_SOCKET && connect(s, found->ai_addr, int(found->ai_addrlen)) != 0) {
        closesocket(s);
        s = INVALID_SOCKET;
    }
    freeaddrinfo(found);
    return s;
}

// A TLS connection to the broker's TLS port, verified against caFile for the name localhost,
// then CONNECT and its CONNACK.
Outcome tryBroker(const std::string &port, const std::string &caFile, std::string &detail)
{
    SSL_CTX *ctx = SSL_CTX_new(TLS_client_method());
    if (!ctx || SSL_CTX_load_verify_locations(ctx, caFile.c_str(), nullptr) != 1) {
        detail = "cannot read the CA " + caFile + ": " + sslErrors();
        SSL_CTX_free(ctx);
        return Outcome::Failed;
    }
    SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
    SOCKET s = connectLoopback(port);
    if (s == INVALID_SOCKET) {
        detail = "no TCP connection to 127.0.0.1:" + port;
        SSL_CTX_free(ctx);
        return Outcome::Failed;
    }
    SSL *ssl = SSL_new(ctx);
    SSL_set_fd(ssl, int(s));
    SSL_set_tlsext_host_name(ssl, "localhost");
    SSL_set1_host(ssl, "localhost");

    Outcome outcome = Outcome::Failed;
    if (SSL_connect(ssl) != 1) {
        const long verify = SSL_get_verify_result(ssl);
        detail = "handshake: " + sslErrors();
        if (verify != X509_V_OK) {
            detail += std::string(" (") + X509_verify_cert_error_string(verify) + ")";
            outcome = Outcome::Refused;
        }
    } else {
        // CONNECT, MQTT 3.1.1, clean session, 60 s keep-alive, client id "tolvex-mqtts-probe".
        static const char id[] = "tolvex-mqtts-probe";
        std::string packet = {0x10, char(10 + 2 + sizeof id - 1), 0, 4, 'M', 'Q', 'T', 'T', 4, 2, 0, 60,
                              0, char(sizeof id - 1)};
        packet += id;
        unsigned char connack[4] = {};
        int got = 0;
        if (SSL_write(ssl, packet.data(), int(packet.size())) == int(packet.size())) {
            while (got < 4) {
                const int n = SSL_read(ssl, connack + got, 4 - got);
                if (n <= 0)
                    break;
                got += n;
            }
        }
        if (got == 4 && connack[0] == 0x20 && connack[1] == 2 && connack[3] == 0) {
            outcome = Outcome::Accepted;
            static const char disconnect[] = {char(0xe0), 0};
            SSL_write(ssl, disconnect, 2);
        } else {
            char text[80];
            std::snprintf(text, sizeof text, "no CONNACK accepting the connection (%d bytes: %02x %02x %02x %02x)",
                          got, connack[0], connack[1], connack[2], connack[3]);
            detail = text;
        }
        SSL_shutdown(ssl);
    }
    SSL_free(ssl);
    closesocket(s);
    SSL_CTX_free(ctx);
    return outcome;
}

} // namespace

int main()
{
    const std::string url = env("TOLVEX_TEST_MQTTS_URL");
    const std::string ca = env("TOLVEX_TEST_MQTT_CA");
    const std::string otherCa = env("TOLVEX_TEST_MQTT_OTHER_CA");
    const std::string::size_type colon = url.rfind(':');
    if (url.rfind("mqtts://", 0) != 0 || colon == std::string::npos || ca.empty() || otherCa.empty()) {
        std::fprintf(stderr, "mqtts_probe: run it inside tests/windows/with-broker\n");
        return 2;
    }
    const std::string port = url.substr(colon + 1);
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) {
        std::fprintf(stderr, "mqtts_probe: WSAStartup failed\n");
        return 1;
    }
    std::printf("mqtts_probe: %s\n", OpenSSL_version(OPENSSL_VERSION));

    int failures = 0;
    std::string detail;
    if (tryBroker(port, ca, detail) == Outcome::Accepted) {
        std::printf("ok: with the broker's CA, a verified TLS connection and CONNACK\n");
    } else {
        std::printf("FAIL: with the broker's CA: %s\n", detail.c_str());
        ++failures;
    }
    detail.clear();
    const Outcome other = tryBroker(port, otherCa, detail);
    if (other == Outcome::Refused) {
        std::printf("ok: with another CA, the server's certificate is refused: %s\n", detail.c_str());
    } else {
        std::printf("FAIL: with another CA, %s\n",
                    other == Outcome::Accepted ? "the connection was accepted" : detail.c_str());
        ++failures;
    }
    WSACleanup();
    return failures == 0 ? 0 : 1;
}
