// The first mouse read after an acquisition reports no motion: the reads
// drop a mouse's mark as they take it, and whatever lets go of a device
// drops its mark, so that another device at the same address starts clean.
#ifndef LURN_FIRST_READ_H
#define LURN_FIRST_READ_H

void ForgetAcquisition(const void *mouse);

#endif
