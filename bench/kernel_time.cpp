// The present's kernels alone, natively: kernel_time PW PH AW AH [full]
// prints the median milliseconds of a PWxPH 16-bit picture presented into
// an AWxAH 32-bit area (full: keeping its shape), for the Windows bench to
// set beside its own figure of the same geometry.
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "kernel_time.h"

int main(int argc, char **argv) {
  if (argc < 5) {
    fprintf(stderr, "usage: %s PW PH AW AH [full]\n", argv[0]);
    return 2;
  }
  KernelGeometry g = {atoi(argv[1]), atoi(argv[2]), atoi(argv[3]),
                      atoi(argv[4]), argc > 5 && strcmp(argv[5], "full") == 0};
  if (g.pictureWidth < 1 || g.pictureHeight < 1 || g.areaWidth < 1 ||
      g.areaHeight < 1) {
    fprintf(stderr, "sizes from 1 up\n");
    return 2;
  }
  printf("%.4f\n", KernelMilliseconds(g, 300));
  return 0;
}
