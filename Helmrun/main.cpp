// Helmrun's entry point. The launcher is not built yet.
int main() { return 0; }
