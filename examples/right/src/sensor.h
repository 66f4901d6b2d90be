#ifndef SENSOR_H
#define SENSOR_H

struct reading {
    double celsius;
    int humidity;
    double pressure;
};

int read_sensors(struct reading *r);

#endif
