#!/bin/sh
find "$1" -name '*.log' -mtime +7 -exec gzip {} \;
