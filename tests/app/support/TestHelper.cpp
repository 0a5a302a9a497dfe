// SPDX-License-Identifier: Apache-2.0
// Stand-in process for the tests. Without arguments it waits until it is killed, as another
// application would run; copied under another executable name it is that application.
// "acquire" tries the updater's single-instance lock: exit status 0 when it got it, 3 when not.
#include <unistd.h>

#include <cstring>

#include "platform/SingleInstance.h"

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "acquire") == 0) {
        SingleInstance instance;
        return instance.acquire() ? 0 : 3;
    }
    for (;;) pause();
}
