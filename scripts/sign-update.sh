#!/usr/bin/env bash
# Signs an update description for publishing, with the maker's private key:
#   scripts/sign-update.sh KEY FILE > update.txt
#   scripts/sign-update.sh --public-key KEY      prints the key to set as QV_UPDATE_PUBLIC_KEY
# KEY is an ECDSA P-256 private key in PEM (a new one: openssl ecparam -name prime256v1 -genkey
# -noout -out KEY). FILE begins with the release date MM/DD/YY and ends with a line end; it is
# written out unchanged, followed by the trailer that the program checks: one line
# "Quorvex-Signature: " and 128 hex digits, r and then s of the signature of FILE's SHA-256 digest.
set -euo pipefail

usage() {
    echo "usage: scripts/sign-update.sh KEY FILE | --public-key KEY" >&2
    exit 2
}
fail() {
    echo "sign-update: $*" >&2
    exit 1
}
hex() { od -An -v -tx1 | tr -d ' \n'; }

(($# == 2)) || usage
if [[ "$1" == --public-key ]]; then
    key=$2
else
    key=$1 file=$2
fi
openssl ec -in "$key" -noout -text 2>/dev/null | grep -q 'ASN1 OID: prime256v1' ||
    fail "$key is no P-256 private key"
if [[ -z "${file:-}" ]]; then
    # The public key's DER ends with the uncompressed point: 04, X, Y.
    openssl ec -in "$key" -pubout -outform DER 2>/dev/null | tail -c 65 | hex
    echo
    exit 0
fi

[[ "$(head -c 8 "$file")" =~ ^[0-9]{2}/[0-9]{2}/[0-9]{2}$ ]] ||
    fail "$file does not begin with a date MM/DD/YY"
[[ "$(tail -c 1 "$file" | hex)" == 0a ]] || fail "$file does not end with a line end"
! grep -q '^Quorvex-Signature: ' "$file" || fail "$file is signed already"
# OpenSSL writes the signature as DER; the trailer carries r and s as 32 bytes each.
signature=$(openssl dgst -sha256 -sign "$key" "$file" | openssl asn1parse -inform DER |
    awk -F: '/INTEGER/ { printf "%64s", $NF }' | tr ' A-F' '0a-f')
((${#signature} == 128)) || fail "the signature is not one of P-256"
cat "$file"
printf 'Quorvex-Signature: %s\r\n' "$signature"
