//==========================================================
//	Kandrel Auto Generation
//==========================================================

module Twins( input iPixClk,
	//ExtIn
	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync,

		output [ 7:0]	O2_INT,
		output [ 2:0]	O2_Sync

	);

	A
		Proc1( iPixClk,
			//In
			//Out
				Proc1_O1_INT,
				Proc1_O1_Sync
			);
			wire [ 7:0]	Proc1_O1_INT;
			wire [ 2:0]	Proc1_O1_Sync;

	Adder
		Proc2( iPixClk,
			//In
				Proc1_O1_INT,
				Proc1_O1_Sync,
				Proc1_O1_INT,
				Proc1_O1_Sync,
			//Out
				Proc2_O1_INT,
				Proc2_O1_Sync
			);
			wire [ 7:0]	Proc2_O1_INT;
			wire [ 2:0]	Proc2_O1_Sync;

	Adder
		Proc3( iPixClk,
			//In
				Proc1_O1_INT,
				Proc1_O1_Sync,
				Proc1_O1_INT,
				Proc1_O1_Sync,
			//Out
				Proc3_O1_INT,
				Proc3_O1_Sync
			);
			wire [ 7:0]	Proc3_O1_INT;
			wire [ 2:0]	Proc3_O1_Sync;

	//ExtOut
	assign O1_INT	= Proc2_O1_INT;
	assign O1_Sync	= Proc2_O1_Sync;

	assign O2_INT	= Proc3_O1_INT;
	assign O2_Sync	= Proc3_O1_Sync;

endmodule
//----------------------------------------------------------

module A( input iPixClk,
	//ExtIn
	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	//-----------------------
	// Under construction...
	//-----------------------
endmodule
//----------------------------------------------------------

module Adder( input iPixClk,
	//ExtIn
		input [ 7:0]	Ext_In1_INT,
		input [ 2:0]	Ext_In1_Sync,

		input [ 7:0]	Ext_In2_INT,
		input [ 2:0]	Ext_In2_Sync,

	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	Adder_INT	Proc1( iPixClk, 
			//In
				Ext_In1_INT,
				Ext_In1_Sync,
				Ext_In2_INT,
				Ext_In2_Sync,
			//Out
				O1_INT,
				O1_Sync
			);
endmodule
//----------------------------------------------------------

module Adder( input iPixClk,
	//ExtIn
		input [ 7:0]	Ext_In1_INT,
		input [ 2:0]	Ext_In1_Sync,

		input [ 7:0]	Ext_In2_INT,
		input [ 2:0]	Ext_In2_Sync,

	//ExtOut
		output [ 7:0]	O1_INT,
		output [ 2:0]	O1_Sync

	);

	Adder_INT	Proc1( iPixClk, 
			//In
				Ext_In1_INT,
				Ext_In1_Sync,
				Ext_In2_INT,
				Ext_In2_Sync,
			//Out
				O1_INT,
				O1_Sync
			);
endmodule
//----------------------------------------------------------

