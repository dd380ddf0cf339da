#!/bin/sh
# Authenticode signing by scripts/package.sh against a throw-away CA: signed,
# unsigned, and refused (no package left).
#   signing_test.sh <x86_64 build folder>
set -u
ROOT=$(cd "$(dirname "$0")/../.." && pwd)
export CORV_BUILD_DIR=$(cd "$1/.." && pwd)
RUN=$CORV_BUILD_DIR/run/signing
unset CORV_SIGN_CERT CORV_SIGN_PASSWORD CORV_SIGN_TIMESTAMP_URL
rm -rf "$RUN" && mkdir -p "$RUN" && cd "$RUN" || exit 1
passed=0 failed=0
check() { # what, then a command that succeeds when the check passes
  what=$1; shift
  if "$@"; then passed=$((passed + 1)); else failed=$((failed + 1)); printf 'FAILED: %s\n' "$what"; fi
}

# A CA, a code-signing certificate under it, and a TLS server's.
ssl() { openssl "$@" >>openssl.log 2>&1 || { cat openssl.log; exit 1; }; }
ssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 2 -subj "/CN=Corvala Test CA" \
  -addext basicConstraints=critical,CA:true -addext keyUsage=critical,keyCertSign
for cert in signer:codeSigning server:serverAuth; do
  name=${cert%:*}
  ssl req -newkey rsa:2048 -nodes -keyout "$name.key" -out "$name.csr" -subj "/CN=Corvala Test $name"
  printf 'keyUsage=critical,digitalSignature\nextendedKeyUsage=%s\n' "${cert#*:}" >"$name.ext"
  ssl x509 -req -in "$name.csr" -CA ca.pem -CAkey ca.key -CAcreateserial -days 2 -extfile "$name.ext" -out "$name.pem"
  ssl pkcs12 -export -inkey "$name.key" -in "$name.pem" -certfile ca.pem -passout pass:secret -out "$name.p12"
done

# The programs and libraries a package carries, extracted into a folder.
contents() { mkdir "$2" && (cd "$2" && msiextract "../$1" >/dev/null) && find "$RUN/$2" -type f -iname '*.[ed][xl][el]'; }
verifies() { osslsigncode verify -CAfile ca.pem -in "$1" >verify.log 2>&1; }
unsigned() { ! verifies "$1" && grep -q -i 'no signature' verify.log; }

check "signed package built" env CORV_SIGN_CERT="$RUN/signer.p12" CORV_SIGN_PASSWORD=secret \
  "$ROOT/scripts/package.sh" "$RUN/signed.msi"
check "the package verifies, SHA-256" sh -c "osslsigncode verify -CAfile ca.pem -in signed.msi | grep -q 'digest algorithm *: SHA256'"
contents signed.msi signed >signed.list
check "seven programs and libraries, both widths' plug-in and control" \
  test "$(wc -l <signed.list)/$(grep -c -e /NPcvw32.dll -e /CorvalaActiveX.dll signed.list)" = 7/4
while read -r pe; do check "verifies: ${pe#"$RUN"/}" verifies "$pe"; done <signed.list
cp "$(grep '/Corvala Viewer.exe$' signed.list)" tampered.exe
printf 'X' | dd of=tampered.exe bs=1 seek=8192 conv=notrunc 2>/dev/null
check "a changed byte fails verification" test "$(verifies tampered.exe; echo $?)" -ne 0

check "unsigned package built" sh -c "'$ROOT/scripts/package.sh' '$RUN/unsigned.msi' 2>notice.txt"
check "one line says it is unsigned" test "$(grep -c 'not signed' notice.txt)" -eq 1
check "the package is unsigned" unsigned unsigned.msi
contents unsigned.msi unsigned >unsigned.list
while read -r pe; do check "unsigned: ${pe#"$RUN"/}" unsigned "$pe"; done <unsigned.list

while IFS='|' read -r what cert password reason; do
  env CORV_SIGN_CERT="$RUN/$cert" CORV_SIGN_PASSWORD="$password" \
    "$ROOT/scripts/package.sh" "$RUN/refused.msi" >/dev/null 2>refused.txt
  check "$what: the build fails with the reason" test $? -ne 0 -a -n "$(grep "$reason" refused.txt)"
  check "$what: no package" test -z "$(ls refused.msi* 2>/dev/null)"
done <<'EOF'
wrong password|signer.p12|wrong|wrong CORV_SIGN_PASSWORD
a TLS server's certificate|server.p12|secret|cannot sign code
EOF

echo "signing test: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
