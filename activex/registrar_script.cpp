/* (being written) */
