#include <stdio.h>
#include "sensor.h"

int main(int argc, char **argv)
{
    const char *dir = argc > 1 ? argv[1] : ".";
    struct reading r;

    if (read_sensors(&r) != 0) {
        fprintf(stderr, "no sensors\n");
        return 1;
    }
    printf("%s: %.1f C, %d %%\n", dir, r.celsius, r.humidity);
    return 0;
}
