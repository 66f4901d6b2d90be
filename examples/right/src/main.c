#include <stdio.h>
#include <stdlib.h>
#include "sensor.h"

int main(int argc, char **argv)
{
    const char *dir = argc > 1 ? argv[1] : ".";
    struct reading r;

    if (read_sensors(&r) != 0) {
        fprintf(stderr, "logger: no sensors found\n");
        return EXIT_FAILURE;
    }
    printf("%s: %.1f C, %d %%, %.0f hPa\n", dir, r.celsius, r.humidity, r.pressure);
    return 0;
}
