#include "demo/DemoTls.h"

#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/rand.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>

#include <memory>

#include "base/FileUtil.h"

namespace velkor::demo {
namespace {

struct KeyFree {
  void operator()(EVP_PKEY* key) const { EVP_PKEY_free(key); }
};
struct CertFree {
  void operator()(X509* cert) const { X509_free(cert); }
};
struct BioFree {
  void operator()(BIO* bio) const { BIO_free(bio); }
};
using KeyPtr = std::unique_ptr<EVP_PKEY, KeyFree>;
using CertPtr = std::unique_ptr<X509, CertFree>;

bool AddExtension(X509* cert, X509* issuer, int nid, const std::string& value) {
  X509V3_CTX ctx;
  X509V3_set_ctx_nodb(&ctx);
  X509V3_set_ctx(&ctx, issuer, cert, nullptr, nullptr, 0);
  X509_EXTENSION* ext = X509V3_EXT_conf_nid(nullptr, &ctx, nid, value.c_str());
  if (!ext) return false;
  bool added = X509_add_ext(cert, ext, -1) == 1;
  X509_EXTENSION_free(ext);
  return added;
}

// A certificate for `key` named `commonName`, issued by `issuer` (itself when null).
CertPtr MakeCertificate(EVP_PKEY* key, const std::string& commonName, X509* issuer,
                        EVP_PKEY* issuerKey,
                        const std::vector<std::pair<int, std::string>>& extensions) {
  CertPtr cert(X509_new());
  if (!cert) return nullptr;
  unsigned char serial[8];
  if (RAND_bytes(serial, sizeof serial) != 1) return nullptr;
  serial[0] &= 0x7F;
  BIGNUM* number = BN_bin2bn(serial, sizeof serial, nullptr);
  bool ok = number && BN_to_ASN1_INTEGER(number, X509_get_serialNumber(cert.get()));
  BN_free(number);
  X509_NAME* name = X509_get_subject_name(cert.get());
  ok = ok && X509_set_version(cert.get(), 2) &&
       X509_gmtime_adj(X509_getm_notBefore(cert.get()), -3600) &&
       X509_gmtime_adj(X509_getm_notAfter(cert.get()), 30L * 24 * 3600) &&
       X509_set_pubkey(cert.get(), key) &&
       X509_NAME_add_entry_by_txt(name, "O", MBSTRING_ASC,
                                  reinterpret_cast<const unsigned char*>("Velkor demo"), -1, -1,
                                  0) &&
       X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                  reinterpret_cast<const unsigned char*>(commonName.c_str()), -1,
                                  -1, 0) &&
       X509_set_issuer_name(cert.get(), X509_get_subject_name(issuer ? issuer : cert.get()));
  for (const auto& [nid, value] : extensions) {
    ok = ok && AddExtension(cert.get(), issuer ? issuer : cert.get(), nid, value);
  }
  ok = ok && X509_sign(cert.get(), issuerKey, EVP_sha256()) > 0;
  return ok ? std::move(cert) : nullptr;
}

std::string OpenSslError() {
  unsigned long code = ERR_get_error();
  if (code == 0) return "unknown OpenSSL error";
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

}  // namespace

DemoTls::~DemoTls() {
  SSL_CTX_free(context_);
}

bool DemoTls::Init(const std::vector<std::string>& hosts, const std::string& caPath,
                   std::string& error) {
  KeyPtr caKey(EVP_EC_gen("P-256"));
  KeyPtr serverKey(EVP_EC_gen("P-256"));
  if (!caKey || !serverKey) {
    error = "cannot generate keys: " + OpenSslError();
    return false;
  }
  CertPtr ca = MakeCertificate(caKey.get(), "Velkor demo CA", nullptr, caKey.get(),
                               {{NID_basic_constraints, "critical,CA:TRUE"},
                                {NID_key_usage, "critical,keyCertSign,cRLSign"},
                                {NID_subject_key_identifier, "hash"}});
  std::string altNames = "DNS:localhost,IP:127.0.0.1";
  for (const std::string& host : hosts) altNames += ",DNS:" + host;
  CertPtr leaf = ca ? MakeCertificate(serverKey.get(), hosts.empty() ? "localhost" : hosts.front(),
                                      ca.get(), caKey.get(),
                                      {{NID_basic_constraints, "critical,CA:FALSE"},
                                       {NID_key_usage, "critical,digitalSignature"},
                                       {NID_ext_key_usage, "serverAuth"},
                                       {NID_subject_alt_name, altNames},
                                       {NID_authority_key_identifier, "keyid"}})
                    : nullptr;
  if (!leaf) {
    error = "cannot make the certificates: " + OpenSslError();
    return false;
  }
  std::unique_ptr<BIO, BioFree> bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_X509(bio.get(), ca.get()) != 1) {
    error = "cannot encode the CA certificate: " + OpenSslError();
    return false;
  }
  char* data = nullptr;
  long size = BIO_get_mem_data(bio.get(), &data);
  if (!ReplaceFile(caPath, std::string(data, static_cast<std::size_t>(size)))) {
    error = "cannot write " + caPath;
    return false;
  }
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  if (!context || SSL_CTX_use_certificate(context, leaf.get()) != 1 ||
      SSL_CTX_use_PrivateKey(context, serverKey.get()) != 1 ||
      SSL_CTX_set_min_proto_version(context, TLS1_2_VERSION) != 1) {
    SSL_CTX_free(context);
    error = "cannot prepare the TLS context: " + OpenSslError();
    return false;
  }
  SSL_CTX_set_mode(context, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
  SSL_CTX_free(context_);
  context_ = context;
  return true;
}

}  // namespace velkor::demo
