// Links one folder's library whole, with only the libraries below it: a folder that calls into
// one above it does not link.
int main()
{
    return 0;
}
