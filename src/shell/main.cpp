// veyrith: the demo program.
int main() { return 0; }
