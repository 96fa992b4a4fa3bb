/* The smallest program that carries the bootstrapper's resources, with a
   relocation so that the relocation section follows the resources: a seed
   of the resource reader's fuzzer and of the tag reader's. */
const char* volatile gText = "seed";
int Start(void) { return gText[0] == 's' ? 0 : 1; }
