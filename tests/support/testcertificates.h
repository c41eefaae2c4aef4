#pragma once

#include <memory>
#include <vector>

#include <QByteArray>
#include <QTemporaryDir>

#include <openssl/evp.h>
#include <openssl/x509.h>

// A certificate a test server presents: the certificate, its private key and
// the intermediate certificates sent along with it.
struct TlsIdentity
{
    std::shared_ptr<X509> certificate;
    std::shared_ptr<EVP_PKEY> key;
    std::vector<std::shared_ptr<X509>> chain;
};

// Certificates made when a test starts, never stored in the repository, so
// that none of them expires on its own. A test authority signs the good ones;
// its certificate is written to a file for SSL_CERT_FILE, and an empty
// directory stands ready for SSL_CERT_DIR so that the system's own
// authorities stay out of the test.
class TestCertificates
{
public:
    enum class Kind
    {
        Valid,               // for localhost, 127.0.0.1 and ::1, by the test authority
        Expired,             // valid names, validity ended yesterday
        NotYetValid,         // valid names, validity begins tomorrow
        OtherHost,           // by the test authority, for other.vantrel.test only
        SelfSigned,          // valid names, signed by its own key
        UnknownIssuer,       // valid names, by an authority nobody trusts
        ViaIntermediate,     // valid names, by an intermediate sent along
        MissingIntermediate, // the same, but without the intermediate
    };

    TestCertificates();

    TestCertificates(const TestCertificates &) = delete;
    TestCertificates &operator=(const TestCertificates &) = delete;

    bool isValid() const { return m_error.isEmpty(); }
    QByteArray errorText() const { return m_error; }

    TlsIdentity identity(Kind kind) const;
    // The test authority's certificate in PEM, for SSL_CERT_FILE.
    QByteArray authorityFile() const { return m_authorityFile; }
    // An empty directory, for SSL_CERT_DIR.
    QByteArray emptyDirectory() const { return m_emptyDirectory; }

    // The names every good certificate carries in its subjectAltName.
    static constexpr char kHostName[] = "localhost";
    static constexpr char kOtherHostName[] = "other.vantrel.test";

private:
    struct Authority
    {
        std::shared_ptr<X509> certificate;
        std::shared_ptr<EVP_PKEY> key;
    };

    // A certificate for key, signed by issuer (itself when issuer is null),
    // valid from and until the given offsets from now, in seconds.
    std::shared_ptr<X509> Issue(const char *commonName, EVP_PKEY *key, const Authority *issuer,
                                long validFrom, long validUntil, const char *altNames,
                                bool isAuthority);
    Authority NewAuthority(const char *commonName, const Authority *issuer);
    void Fail(const QByteArray &what);

    QTemporaryDir m_dir;
    QByteArray m_error;
    QByteArray m_authorityFile;
    QByteArray m_emptyDirectory;
    long m_nextSerial = 1;
    std::shared_ptr<EVP_PKEY> m_leafKey;
    Authority m_authority;
    Authority m_stranger;
    Authority m_intermediate;
    std::vector<std::pair<Kind, TlsIdentity>> m_identities;
};
