/* Encrypts each argument under the password in SIP_KEY, as the decrypting
 * program reads it in WINDOWS-1252, and prints one text a line.
 *   cc example.c $(pkg-config --cflags --libs sipcrypt) -o example
 *   SIP_KEY=secret ./example alice 'J\xC3\xBCrgen'
 */
#include <sipcrypt.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

int main(int argc, char** argv) {
    const char* password = getenv("SIP_KEY");
    sipcrypt_context* context = sipcrypt_create();
    int status = 0;
    int i;
    if (context == NULL || password == NULL) {
        fprintf(stderr, "example: no memory, or SIP_KEY is not set\n");
        return 2;
    }
    if (sipcrypt_set_key(context, "WINDOWS-1252", password, strlen(password)) != SIPCRYPT_OK) {
        fprintf(stderr, "example: password: %s\n", sipcrypt_message(context));
        sipcrypt_free(context);
        return 1;
    }
    for (i = 1; i < argc; ++i) {
        char text[SIPCRYPT_MAX_TEXT_LENGTH + 1];
        size_t length = 0;
        if (sipcrypt_encrypt(context, argv[i], strlen(argv[i]), text, sizeof text, &length) !=
            SIPCRYPT_OK) {
            fprintf(stderr, "example: argument %d: %s\n", i, sipcrypt_message(context));
            text[0] = '\0';
            status = 1;
        }
        printf("%s\n", text);
    }
    sipcrypt_free(context);
    return status;
}
