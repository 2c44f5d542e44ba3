/* A host written in C that links against the module's import library
   instead of loading it, as a Windows host built with another compiler
   would. The module built without a host binding signs nobody in, must not
   let its failure escape, and must leave the host's buffer as it was. */
#include <privilege/privilege.h>

#include <stdio.h>
#include <string.h>

int main(void)
{
    static const char input[] = "pamCZY_DM=admin;pamPWD=admin123";
    char buffer[PRIV_PARAM_BUFFER_SIZE];
    char* argv[1];
    PrivBool answer;

    strcpy(buffer, input);
    argv[0] = buffer;
    answer = LoadLoginForm(0, argv);
    if (answer != 0 || strcmp(buffer, input) != 0) {
        fprintf(stderr, "LoadLoginForm answered %d and left \"%s\"\n", (int)answer, buffer);
        return 1;
    }
    answer = InitGlobalUserInfo(0, argv);
    if (answer != 0) {
        fprintf(stderr, "InitGlobalUserInfo answered %d without a host\n", (int)answer);
        return 1;
    }
    printf("linked host: the module answered 0 and kept the buffer\n");
    return 0;
}
