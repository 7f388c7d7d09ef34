#ifndef PACKCHECK_H
#define PACKCHECK_H

/* Each returns the number of failures it printed. */
int packs9_check(void);
int packs8_check(const char *path);

#endif
