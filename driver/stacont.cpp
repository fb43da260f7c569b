// Program entry of the surface data contouring program.
int main() { return 0; }
