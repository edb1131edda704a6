#include "dezaz/host_program.h"

int main(int argc, char** argv)
{
    return dezaz::RunDezaz(argc, argv);
}
