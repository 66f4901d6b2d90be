/* kept for the old serial sensors */
int legacy_probe(void) { return -1; }
