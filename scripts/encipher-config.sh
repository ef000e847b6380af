#!/usr/bin/env bash
# Enciphers a configuration document for the program's key:
#   encipher-config.sh plain.xml > item.xml
# Output: Base64 of RSA-PKCS#1-v1.5(key block, 512 bytes) followed by
# AES-256-CBC(document), where the key block is the document's MD5 and 48
# random bytes; the AES key is the block's first 32 bytes, the IV its first 16.
set -euo pipefail
source "$(dirname "$0")/common.sh"
plain=${1:?usage: encipher-config.sh DOCUMENT [PUBLIC_KEY_PEM]}
pub=${2:-$ROOT/scripts/config-key-public.pem}
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

openssl dgst -md5 -binary "$plain" > "$work/block"
openssl rand 48 >> "$work/block"
openssl pkeyutl -encrypt -pubin -inkey "$pub" -pkeyopt rsa_padding_mode:pkcs1 \
  -in "$work/block" -out "$work/head"
hex=$(xxd -p -c 64 "$work/block")
openssl enc -aes-256-cbc -K "${hex:0:64}" -iv "${hex:0:32}" -in "$plain" -out "$work/body"
cat "$work/head" "$work/body" | openssl base64 -A
echo
