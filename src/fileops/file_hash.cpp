#include "fileops.h"

#include <windows.h>
#include <wincrypt.h>

enum { READ_BLOCK_SIZE = 16384 };

static HCRYPTPROV held_provider;

static int AcquireProvider(HCRYPTPROV *provider)
{
    return CryptAcquireContextA(provider, NULL, NULL, PROV_RSA_AES, CRYPT_VERIFYCONTEXT);
}

void HoldHashProvider(int hold)
{
    if (hold && held_provider == 0 && !AcquireProvider(&held_provider))
        held_provider = 0;
    if (!hold && held_provider != 0) {
        CryptReleaseContext(held_provider, 0);
        held_provider = 0;
    }
}

// The system's own SHA-256 (PROV_RSA_AES, since Vista), never one of ours.
int HashFileSha256(const char *path, unsigned char digest[SHA256_SIZE])
{
    HCRYPTPROV provider = held_provider;
    HCRYPTHASH hash = 0;
    HANDLE file = INVALID_HANDLE_VALUE;
    unsigned char block[READ_BLOCK_SIZE];
    DWORD count = 0;
    DWORD digest_size = SHA256_SIZE;
    int hashed = 0;

    if (provider == 0 && !AcquireProvider(&provider))
        return 0;
    if (!CryptCreateHash(provider, CALG_SHA_256, 0, 0, &hash))
        goto done;
    file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING,
                       FILE_FLAG_SEQUENTIAL_SCAN, NULL);
    if (file == INVALID_HANDLE_VALUE)
        goto done;
    // The end of the file is a successful read of 0 bytes.
    do {
        if (!ReadFile(file, block, sizeof block, &count, NULL))
            goto done;
        if (count > 0 && !CryptHashData(hash, block, count, 0))
            goto done;
    } while (count > 0);
    hashed = CryptGetHashParam(hash, HP_HASHVAL, digest, &digest_size, 0) &&
             digest_size == SHA256_SIZE;

done:
    if (file != INVALID_HANDLE_VALUE)
        CloseHandle(file);
    if (hash != 0)
        CryptDestroyHash(hash);
    if (provider != held_provider)
        CryptReleaseContext(provider, 0);
    return hashed;
}
