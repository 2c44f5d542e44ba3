/*
 * A host written in C that links the module instead of loading it. The
 * module's public header is all it includes: it declares the seven exports,
 * the parameter keys and the buffer size.
 *
 * It makes one call that needs no database: publishing an operator without a
 * code, which the module refuses and which leaves the buffer as it was.
 */
#include <privilege/privilege.h>

#include <stdio.h>

int main(void)
{
    char buffer[PRIV_PARAM_BUFFER_SIZE] = PRIV_KEY_OPERATOR_CODE "=";
    char* argv[] = {buffer};
    const PrivBool answer = InitGlobalUserInfo(1, argv);
    printf("InitGlobalUserInfo %d %s\n", answer, buffer);
    return 0;
}
