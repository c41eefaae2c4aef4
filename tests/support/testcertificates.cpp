#include "support/testcertificates.h"

#include <QDir>
#include <QFile>

#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/x509v3.h>

namespace {

constexpr long kDay = 24 * 60 * 60;
constexpr char kGoodNames[] = "DNS:localhost,IP:127.0.0.1,IP:::1";

std::shared_ptr<EVP_PKEY> NewKey()
{
    // Elliptic-curve keys are made in a moment, unlike RSA keys.
    return std::shared_ptr<EVP_PKEY>(EVP_EC_gen("P-256"), EVP_PKEY_free);
}

bool AddExtension(X509 *certificate, X509V3_CTX *context, int nid, const char *value)
{
    X509_EXTENSION *extension = X509V3_EXT_conf_nid(nullptr, context, nid, value);
    if (extension == nullptr)
        return false;
    const int added = X509_add_ext(certificate, extension, -1);
    X509_EXTENSION_free(extension);
    return added == 1;
}

QByteArray PemOf(X509 *certificate)
{
    const std::unique_ptr<BIO, decltype(&BIO_free)> memory(BIO_new(BIO_s_mem()), BIO_free);
    if (!memory || PEM_write_bio_X509(memory.get(), certificate) != 1)
        return {};
    char *data = nullptr;
    const long length = BIO_get_mem_data(memory.get(), &data);
    return QByteArray(data, length);
}

} // namespace

TestCertificates::TestCertificates()
{
    if (!m_dir.isValid()) {
        Fail("no temporary directory");
        return;
    }
    m_leafKey = NewKey();
    m_authority = NewAuthority("Vantrel Test Authority", nullptr);
    m_stranger = NewAuthority("Vantrel Stranger Authority", nullptr);
    m_intermediate = NewAuthority("Vantrel Test Intermediate", &m_authority);
    if (!m_leafKey || !m_authority.certificate || !m_stranger.certificate ||
        !m_intermediate.certificate) {
        Fail("making the authorities");
        return;
    }

    const auto issue = [this](Kind kind, const Authority *issuer, long from, long until,
                              const char *names, std::vector<std::shared_ptr<X509>> chain = {}) {
        TlsIdentity identity{
            Issue("Vantrel test server", m_leafKey.get(), issuer, from, until, names, false),
            m_leafKey, std::move(chain)};
        if (!identity.certificate)
            Fail("making a server certificate");
        m_identities.emplace_back(kind, std::move(identity));
    };
    issue(Kind::Valid, &m_authority, -kDay, kDay, kGoodNames);
    issue(Kind::Expired, &m_authority, -30 * kDay, -kDay, kGoodNames);
    issue(Kind::NotYetValid, &m_authority, kDay, 30 * kDay, kGoodNames);
    issue(Kind::OtherHost, &m_authority, -kDay, kDay, "DNS:other.vantrel.test");
    issue(Kind::SelfSigned, nullptr, -kDay, kDay, kGoodNames);
    issue(Kind::UnknownIssuer, &m_stranger, -kDay, kDay, kGoodNames);
    issue(Kind::ViaIntermediate, &m_intermediate, -kDay, kDay, kGoodNames,
          {m_intermediate.certificate});
    issue(Kind::MissingIntermediate, &m_intermediate, -kDay, kDay, kGoodNames);
    if (!isValid())
        return;

    m_authorityFile = QFile::encodeName(m_dir.filePath(QStringLiteral("authority.pem")));
    QFile file(QFile::decodeName(m_authorityFile));
    const QByteArray pem = PemOf(m_authority.certificate.get());
    if (pem.isEmpty() || !file.open(QIODevice::WriteOnly) || file.write(pem) != pem.size() ||
        !file.flush()) {
        Fail("writing the authority file");
        return;
    }
    const QString empty = m_dir.filePath(QStringLiteral("no-certificates"));
    if (!QDir().mkpath(empty))
        Fail("making the empty certificate directory");
    m_emptyDirectory = QFile::encodeName(empty);
}

TlsIdentity TestCertificates::identity(Kind kind) const
{
    for (const auto &[each, identity] : m_identities)
        if (each == kind)
            return identity;
    return {};
}

TestCertificates::Authority TestCertificates::NewAuthority(const char *commonName,
                                                           const Authority *issuer)
{
    Authority authority;
    authority.key = NewKey();
    if (authority.key)
        authority.certificate =
            Issue(commonName, authority.key.get(), issuer, -2 * kDay, 10 * kDay, nullptr, true);
    return authority;
}

std::shared_ptr<X509> TestCertificates::Issue(const char *commonName, EVP_PKEY *key,
                                              const Authority *issuer, long validFrom,
                                              long validUntil, const char *altNames,
                                              bool isAuthority)
{
    std::shared_ptr<X509> certificate(X509_new(), X509_free);
    if (!certificate || key == nullptr)
        return nullptr;
    X509 *x = certificate.get();
    X509_NAME *subject = X509_get_subject_name(x);
    const bool made =
        X509_set_version(x, 2) == 1 &&
        ASN1_INTEGER_set(X509_get_serialNumber(x), m_nextSerial++) == 1 &&
        X509_gmtime_adj(X509_getm_notBefore(x), validFrom) != nullptr &&
        X509_gmtime_adj(X509_getm_notAfter(x), validUntil) != nullptr &&
        X509_set_pubkey(x, key) == 1 &&
        X509_NAME_add_entry_by_txt(subject, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char *>(commonName), -1, -1,
                                   0) == 1 &&
        X509_set_issuer_name(x, issuer != nullptr ? X509_get_subject_name(issuer->certificate.get())
                                                  : subject) == 1;
    if (!made)
        return nullptr;

    X509V3_CTX context;
    X509V3_set_ctx(&context, issuer != nullptr ? issuer->certificate.get() : x, x, nullptr, nullptr,
                   0);
    bool extended = AddExtension(x, &context, NID_subject_key_identifier, "hash");
    if (issuer != nullptr)
        extended =
            extended && AddExtension(x, &context, NID_authority_key_identifier, "keyid:always");
    if (isAuthority) {
        extended = extended &&
                   AddExtension(x, &context, NID_basic_constraints, "critical,CA:TRUE") &&
                   AddExtension(x, &context, NID_key_usage, "critical,keyCertSign,cRLSign");
    } else {
        extended = extended &&
                   AddExtension(x, &context, NID_basic_constraints, "critical,CA:FALSE") &&
                   AddExtension(x, &context, NID_key_usage, "critical,digitalSignature") &&
                   AddExtension(x, &context, NID_ext_key_usage, "serverAuth") &&
                   AddExtension(x, &context, NID_subject_alt_name, altNames);
    }
    EVP_PKEY *signer = issuer != nullptr ? issuer->key.get() : key;
    if (!extended || X509_sign(x, signer, EVP_sha256()) <= 0)
        return nullptr;
    return certificate;
}

void TestCertificates::Fail(const QByteArray &what)
{
    if (!m_error.isEmpty())
        return;
    const unsigned long error = ERR_get_error();
    m_error = what;
    if (error != 0) {
        char text[256];
        ERR_error_string_n(error, text, sizeof(text));
        m_error += QByteArray(": ") + text;
    }
    ERR_clear_error();
}
