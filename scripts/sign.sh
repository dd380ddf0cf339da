# Authenticode signing for scripts/package.sh (sourced): SHA-256 signatures
# with osslsigncode from the PKCS#12 file CORV_SIGN_CERT (password
# CORV_SIGN_PASSWORD, time stamp from CORV_SIGN_TIMESTAMP_URL when set).
#   sign_prepare <work folder>   checks the certificate once; returns 1 when
#                                CORV_SIGN_CERT is not set (nothing to sign)
#   sign_file <file>             signs the file in place (a copy is signed,
#                                then replaces it)
#   sign_cleanup                 removes the password file
# Every failure ends the script through fail() with the reason.

SIGN_DESCRIPTION="Corvala/400 desktop printing"
SIGN_WORK=

sign_cleanup() {
  [ -z "$SIGN_WORK" ] || rm -f "$SIGN_WORK/password" "$SIGN_WORK/cert.pem"
}

# The signer's certificate must be usable for code: within its validity,
# and where it limits its use, allowing digital signatures and code signing.
sign_check_certificate() { # PEM file of the signer's certificate
  openssl x509 -in "$1" -noout -checkend 0 >/dev/null ||
    fail "CORV_SIGN_CERT: the certificate has expired or is not yet valid"
  usage=$(openssl x509 -in "$1" -noout -ext keyUsage,extendedKeyUsage 2>/dev/null)
  if echo "$usage" | grep -q 'Key Usage:'; then
    echo "$usage" | grep -A1 'X509v3 Key Usage:' | grep -q 'Digital Signature' ||
      fail "CORV_SIGN_CERT: the certificate cannot sign code (its key usage lacks Digital Signature)"
  fi
  if echo "$usage" | grep -q 'Extended Key Usage:'; then
    echo "$usage" | grep -A1 'Extended Key Usage:' | grep -q 'Code Signing' ||
      fail "CORV_SIGN_CERT: the certificate cannot sign code (its extended key usage lacks Code Signing)"
  fi
}

# Files exported by older Windows use ciphers OpenSSL 3 keeps in its legacy provider.
sign_pkcs12() {
  openssl pkcs12 -in "$CORV_SIGN_CERT" -passin "file:$SIGN_WORK/password" "$@" 2>/dev/null ||
    openssl pkcs12 -legacy -in "$CORV_SIGN_CERT" -passin "file:$SIGN_WORK/password" "$@" 2>/dev/null
}

sign_prepare() {
  [ -n "${CORV_SIGN_CERT:-}" ] || return 1
  command -v osslsigncode >/dev/null || fail "osslsigncode is missing: run scripts/setup-deps.sh"
  [ -r "$CORV_SIGN_CERT" ] || fail "CORV_SIGN_CERT: cannot read $CORV_SIGN_CERT"
  SIGN_WORK=$1
  mkdir -p "$SIGN_WORK"
  # The password goes to osslsigncode in a file, never on a command line.
  (umask 077 && printf '%s' "${CORV_SIGN_PASSWORD:-}" >"$SIGN_WORK/password")
  sign_pkcs12 -nokeys -clcerts -out "$SIGN_WORK/cert.pem" ||
    fail "CORV_SIGN_CERT: cannot open $CORV_SIGN_CERT (wrong CORV_SIGN_PASSWORD, or not a PKCS#12 file)"
  sign_pkcs12 -nocerts -nodes | grep -q 'PRIVATE KEY' ||
    fail "CORV_SIGN_CERT: $CORV_SIGN_CERT holds no private key"
  grep -q 'BEGIN CERTIFICATE' "$SIGN_WORK/cert.pem" ||
    fail "CORV_SIGN_CERT: $CORV_SIGN_CERT holds no certificate of its own"
  sign_check_certificate "$SIGN_WORK/cert.pem"
}

sign_file() {
  rm -f "$1.signed"
  set -- "$1" -pkcs12 "$CORV_SIGN_CERT" -readpass "$SIGN_WORK/password" -h sha256 -n "$SIGN_DESCRIPTION"
  [ -z "${CORV_SIGN_TIMESTAMP_URL:-}" ] || set -- "$@" -ts "$CORV_SIGN_TIMESTAMP_URL"
  file=$1; shift
  osslsigncode sign "$@" -in "$file" -out "$file.signed" >"$SIGN_WORK/osslsigncode.log" 2>&1 ||
    { rm -f "$file.signed"; cat "$SIGN_WORK/osslsigncode.log" >&2; fail "signing $(basename "$file") failed"; }
  mv "$file.signed" "$file"
}
