// Placeholder until the shell is written.
int main() {
  return 0;
}
