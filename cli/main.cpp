#include <CLI/CLI.hpp>

int main(int argc, char** argv) {
    CLI::App app{"Tamsel: software reliability growth modelling", "tamsel-cli"};
    app.require_subcommand(1);
    CLI11_PARSE(app, argc, argv);
    return 0;
}
