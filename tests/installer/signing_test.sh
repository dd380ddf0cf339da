#!/bin/sh
# Authenticode signing by scripts/package.sh: with a throw-away CA and a
# code-signing certificate every program and library in the package (both
# widths) and the package itself verify against that CA, and a changed byte
# breaks the signature; without the variables nothing is signed; a wrong
# password or a certificate that cannot sign code stops the build and leaves
# no package.
#   signing_test.sh <x86_64 build folder>
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
BUILD64=$(cd "$1" && pwd)
export CORV_BUILD_DIR=$(dirname "$BUILD64")
RUN=$CORV_BUILD_DIR/run/signing
unset CORV_SIGN_CERT CORV_SIGN_PASSWORD CORV_SIGN_TIMESTAMP_URL

passed=0
failed=0
check() { # what, then a command that succeeds when the check passes
  what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); printf 'FAILED: %s\n' "$what"; fi
}

rm -rf "$RUN"
mkdir -p "$RUN"
cd "$RUN" || exit 1

# --- a CA, a code-signing certificate under it, and a TLS server's -------
ssl() { openssl "$@" >>openssl.log 2>&1 || { echo "openssl $1 failed"; cat openssl.log; exit 1; }; }
ssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Corvala Test CA" \
  -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign
issue() { # name, extended key usage
  ssl req -newkey rsa:2048 -nodes -keyout "$1.key" -out "$1.csr" -subj "/CN=Corvala Test $1"
  printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "$2" >"$1.ext"
  ssl x509 -req -in "$1.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile "$1.ext" -out "$1.pem"
  ssl pkcs12 -export -inkey "$1.key" -in "$1.pem" -certfile ca.pem -passout pass:secret -out "$1.p12"
}
issue signer codeSigning
issue server serverAuth

# PEs and the package: every file of the package, extracted.
contents() { # package, folder
  mkdir -p "$2" && (cd "$2" && msiextract "$RUN/$1" >/dev/null) && find "$RUN/$2" -type f -iname '*.[ed][xl][el]'
}
verifies() { osslsigncode verify -CAfile ca.pem -in "$1" >verify.log 2>&1; }
unsigned() { ! verifies "$1" && grep -q -i 'no signature' verify.log; }

# --- signed ----------------------------------------------------------------
check "signed package built" env CORV_SIGN_CERT="$RUN/signer.p12" CORV_SIGN_PASSWORD=secret \
  "$ROOT/scripts/package.sh" "$RUN/signed.msi"
check "the package verifies" verifies signed.msi
check "the package's signature is SHA-256" grep -q 'Message digest algorithm *: SHA256' verify.log
contents signed.msi signed >signed.list
check "both widths' programs and libraries are in the package" test "$(wc -l <signed.list)" -eq 7
check "the plug-in and the control of both widths" test "$(grep -c -e /NPcvw32.dll -e /CorvalaActiveX.dll signed.list)" -eq 4
while read -r pe; do
  check "verifies: ${pe#"$RUN"/signed/}" verifies "$pe"
done <signed.list
cp "$(grep '/Corvala Viewer.exe$' signed.list)" tampered.exe
printf 'X' | dd of=tampered.exe bs=1 seek=8192 conv=notrunc 2>/dev/null
check "a changed byte fails verification" test "$(verifies tampered.exe; echo $?)" -ne 0

# --- unsigned ------------------------------------------------------------
check "unsigned package built" sh -c "'$ROOT/scripts/package.sh' '$RUN/unsigned.msi' 2>notice.txt"
check "one line says it is unsigned" test "$(grep -c 'not signed' notice.txt)" -eq 1
check "the package is unsigned" unsigned unsigned.msi
contents unsigned.msi unsigned >unsigned.list
while read -r pe; do
  check "unsigned: ${pe#"$RUN"/unsigned/}" unsigned "$pe"
done <unsigned.list

# --- refusals: the build stops with the reason, no package is left ---------
while IFS='|' read -r what cert password reason; do
  env CORV_SIGN_CERT="$RUN/$cert" CORV_SIGN_PASSWORD="$password" \
    "$ROOT/scripts/package.sh" "$RUN/refused.msi" >/dev/null 2>refused.txt
  check "$what: the build fails" test $? -ne 0
  check "$what: the reason" grep -q "$reason" refused.txt
  check "$what: no package" test -z "$(ls refused.msi* 2>/dev/null)"
done <<'EOF'
wrong password|signer.p12|wrong|wrong CORV_SIGN_PASSWORD
a TLS server's certificate|server.p12|secret|cannot sign code
EOF

echo "signing test: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
