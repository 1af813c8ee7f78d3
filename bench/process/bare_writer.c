/* The bare process the whole-run benchmark compares the program with: it reads its
   standard input to the end, as the program reads its answers, and writes the bytes of
   the file named by its argument to standard output line by line, one write per line,
   as the program writes its records. */
#include <fcntl.h>
#include <unistd.h>

static char text[1 << 16];
static char input[1 << 16];

int main(int argc, char** argv) {
    if (argc != 2) return 2;
    int file = open(argv[1], O_RDONLY);
    if (file < 0) return 2;
    long length = 0;
    long got;
    while (length < (long)sizeof text &&
           (got = read(file, text + length, sizeof text - (unsigned long)length)) > 0)
        length += got;
    close(file);
    while (read(0, input, sizeof input) > 0) {
    }
    long start = 0;
    for (long i = 0; i < length; ++i) {
        if (text[i] != '\n') continue;
        if (write(1, text + start, (unsigned long)(i + 1 - start)) < 0) return 1;
        start = i + 1;
    }
    if (start < length && write(1, text + start, (unsigned long)(length - start)) < 0) return 1;
    return 0;
}
