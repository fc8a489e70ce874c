// Program entry (in progress).
int main() { return 0; }
