/* qel-sim as a child process of a C test: started on a free loopback port (it binds port 0 and
 * names the port in its first line), and ended by its own process id. */
#ifndef SIM_PROCESS_H
#define SIM_PROCESS_H

typedef struct sim_process sim_process;

/* Starts the simulator program with "--tcp 0" and waits at most limit_ms for its readiness line;
 * null when it did not start or said nothing in time (it is then ended). */
sim_process* sim_start(const char* program, int limit_ms);

/* The TCP port the simulator listens on. */
int sim_port(const sim_process* sim);

/* Ends the simulator and waits for it; does nothing for null. */
void sim_stop(sim_process* sim);

#endif
