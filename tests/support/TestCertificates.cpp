#include "TestCertificates.h"

#include <memory>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <openssl/x509v3.h>
#include <stdexcept>

namespace {

using Key = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Cert = std::unique_ptr<X509, decltype(&X509_free)>;

Key NewKey()
{
    Key key(EVP_EC_gen("P-256"), &EVP_PKEY_free);
    if (!key)
        throw std::runtime_error("cannot make a test key");
    return key;
}

QByteArray KeyPem(EVP_PKEY* key)
{
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_PrivateKey(bio, key, nullptr, nullptr, 0, nullptr, nullptr);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    QByteArray pem(data, size);
    BIO_free(bio);
    return pem;
}

QByteArray CertPem(X509* cert)
{
    BIO* bio = BIO_new(BIO_s_mem());
    PEM_write_bio_X509(bio, cert);
    char* data = nullptr;
    const long size = BIO_get_mem_data(bio, &data);
    QByteArray pem(data, size);
    BIO_free(bio);
    return pem;
}

Key ReadKey(const QByteArray& pem)
{
    BIO* bio = BIO_new_mem_buf(pem.constData(), static_cast<int>(pem.size()));
    Key key(PEM_read_bio_PrivateKey(bio, nullptr, nullptr, nullptr), &EVP_PKEY_free);
    BIO_free(bio);
    return key;
}

Cert ReadCert(const QByteArray& pem)
{
    BIO* bio = BIO_new_mem_buf(pem.constData(), static_cast<int>(pem.size()));
    Cert cert(PEM_read_bio_X509(bio, nullptr, nullptr, nullptr), &X509_free);
    BIO_free(bio);
    return cert;
}

void AddExtension(X509* cert, X509* issuer, int nid, const char* value)
{
    X509V3_CTX ctx;
    X509V3_set_ctx_nodb(&ctx);
    X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
    X509_EXTENSION* extension = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value);
    if (!extension)
        throw std::runtime_error("bad test certificate extension");
    X509_add_ext(cert, extension, -1);
    X509_EXTENSION_free(extension);
}

Cert NewCert(EVP_PKEY* key, const QByteArray& commonName, long serial)
{
    Cert cert(X509_new(), &X509_free);
    X509_set_version(cert.get(), 2);
    ASN1_INTEGER_set(X509_get_serialNumber(cert.get()), serial);
    X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600);
    X509_gmtime_adj(X509_getm_notAfter(cert.get()), 24 * 3600);
    X509_set_pubkey(cert.get(), key);
    X509_NAME* name = X509_get_subject_name(cert.get());
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC, reinterpret_cast<const unsigned char*>(commonName.constData()),
                               -1, -1, 0);
    return cert;
}

}  // namespace

TestAuthority::TestAuthority(const QByteArray& name)
{
    Key key = NewKey();
    Cert cert = NewCert(key.get(), name, 1);
    X509_set_issuer_name(cert.get(), X509_get_subject_name(cert.get()));
    AddExtension(cert.get(), cert.get(), NID_basic_constraints, "critical,CA:TRUE");
    AddExtension(cert.get(), cert.get(), NID_key_usage, "critical,keyCertSign,cRLSign");
    AddExtension(cert.get(), cert.get(), NID_subject_key_identifier, "hash");
    X509_sign(cert.get(), key.get(), EVP_sha256());
    m_ca = {CertPem(cert.get()), KeyPem(key.get())};
}

TestIdentity TestAuthority::issue(const QByteArray& subjectAltName) const
{
    static long serial = 100;
    Key caKey = ReadKey(m_ca.keyPem);
    Cert caCert = ReadCert(m_ca.certPem);
    Key key = NewKey();
    Cert cert = NewCert(key.get(), "test server", ++serial);
    X509_set_issuer_name(cert.get(), X509_get_subject_name(caCert.get()));
    AddExtension(cert.get(), caCert.get(), NID_basic_constraints, "critical,CA:FALSE");
    AddExtension(cert.get(), caCert.get(), NID_ext_key_usage, "serverAuth");
    AddExtension(cert.get(), caCert.get(), NID_subject_alt_name, subjectAltName.constData());
    AddExtension(cert.get(), caCert.get(), NID_authority_key_identifier, "keyid");
    X509_sign(cert.get(), caKey.get(), EVP_sha256());
    return {CertPem(cert.get()), KeyPem(key.get())};
}
