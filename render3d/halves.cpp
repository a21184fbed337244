#include "render3d/halves.hpp"

HalfRunner run_halves = run_halves_in_turn;

int32_t run_halves_in_turn(HalfWork work, void* job) {
    work(0, job);
    work(1, job);
    return -1;
}
