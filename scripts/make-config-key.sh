#!/usr/bin/env bash
# Makes the key pair of enciphered configuration documents: the program keeps
# the private key (engine/config_key.cpp, DER), whoever publishes a document
# enciphers with the public key (scripts/config-key-public.pem, used by
# scripts/encipher-config.sh). Run once; running it again replaces the pair,
# and documents enciphered for the old key can no longer be read.
set -euo pipefail
source "$(dirname "$0")/common.sh"
work=$(mktemp -d); trap 'rm -rf "$work"' EXIT

openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:4096 -out "$work/key.pem" 2>/dev/null
openssl rsa -in "$work/key.pem" -outform DER -traditional -out "$work/key.der" 2>/dev/null
openssl rsa -in "$work/key.pem" -pubout -out "$ROOT/scripts/config-key-public.pem" 2>/dev/null

size=$(stat -c %s "$work/key.der")
{
  echo "// The private half of the key pair that enciphers configuration documents"
  echo "// (made by scripts/make-config-key.sh; the public half is"
  echo "// scripts/config-key-public.pem). RSA 4096, PKCS#1 RSAPrivateKey, DER."
  echo '#include "engine/config_cipher.h"'
  echo
  echo "namespace Zentrava {"
  echo "namespace Assistant {"
  echo
  echo "namespace {"
  echo "const unsigned char kConfigKey[$size] = {"
  xxd -i < "$work/key.der" | sed 's/^ */    /'
  echo "};"
  echo "}  // namespace"
  echo
  echo "const unsigned char* ConfigPrivateKeyDer(size_t* size) {"
  echo "  *size = sizeof(kConfigKey);"
  echo "  return kConfigKey;"
  echo "}"
  echo
  echo "}  // namespace Assistant"
  echo "}  // namespace Zentrava"
} > "$ROOT/engine/config_key.cpp"
log "wrote engine/config_key.cpp ($size bytes of key) and scripts/config-key-public.pem"
