/* A program that uses the installed library the way an adopter's would:
 * include the header, link the library, call it, check the result.
 *   consumer OUTPUT_DIR */
#include <imgresize.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char **argv)
{
    if (argc != 2) {
        fprintf(stderr, "usage: consumer OUTPUT_DIR\n");
        return 2;
    }
    char source[1024], target[1024];
    snprintf(source, sizeof source, "%s/pattern.ppm", argv[1]);
    snprintf(target, sizeof target, "%s/fitted.png", argv[1]);

    FILE *file = fopen(source, "wb");
    if (file == NULL)
        return 1;
    fprintf(file, "P6\n8 4\n255\n");
    for (int i = 0; i < 8 * 4 * 3; ++i)
        fputc(i * 7 % 256, file);
    fclose(file);

    if (!imgresize_fit(source, target, 4, 4)) {
        fprintf(stderr, "consumer: %s\n", imgresize_last_error());
        return 1;
    }
    const char *record = imgresize_info(target);
    static const char expected[] = "{\"width\":4,\"height\":2,\"format\":\"png\",";
    if (strncmp(record, expected, sizeof expected - 1) != 0) {
        fprintf(stderr, "consumer: unexpected record '%s' (%s)\n", record, imgresize_last_error());
        return 1;
    }
    printf("consumer: quendril-imgresize %s: %s\n", IMGRESIZE_VERSION_STRING, record);
    return 0;
}
