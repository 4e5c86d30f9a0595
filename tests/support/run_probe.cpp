// Exits with 32, which no failed start gives: the proof that a 32-bit program ran.
int main() {
    return 32;
}
