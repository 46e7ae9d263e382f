// The varnock program: the entry point hands over to WinMain.
#include "winmain2.h"

int main(int argc, char** argv)
{
    (void)argc;
    (void)argv;
    return WinMain(GetModuleHandle(nullptr), nullptr, (char*)"", SW_SHOWDEFAULT);
}
